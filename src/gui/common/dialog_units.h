// Dialog units as the old dialog framework measured them: one horizontal unit is a
// quarter of the font's average character width, one vertical unit an eighth of its
// height. The templates were drawn for a small handheld screen, so a front end that
// lays the controls out itself enlarges the template's font first and every unit
// follows it; a front end with real dialog resources lets the system measure.
#pragma once

#include "gui/common/dialog_template.h"

namespace zelvar {

// Template point sizes were meant for a 240 x 320 screen held at arm's length.
constexpr double kDesktopFontScale = 1.5;
// Extra room around the enlarged text, so controls do not look cramped.
constexpr double kDesktopUnitScale = 1.2;

// The framework took the mean width of the 52 Latin letters, rounded up.
constexpr const char* kAverageWidthAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
int AverageCharWidth(int alphabetWidth);

struct PixelRect {
    int x, y, w, h;
};

class CDialogUnitScale {
  public:
    CDialogUnitScale(int charWidth, int charHeight, double unitScale);

    int X(int units) const;
    int Y(int units) const;
    // Edges are converted, not sizes, so neighbouring controls never overlap by rounding.
    PixelRect ToPixels(const DialogRect& rect) const;

    int CharWidth() const { return m_charWidth; }
    int CharHeight() const { return m_charHeight; }

  private:
    int m_charWidth;
    int m_charHeight;
    double m_scale;
};

}  // namespace zelvar
