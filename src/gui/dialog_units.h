// Dialog units as the old dialog framework measured them: one horizontal unit is a
// quarter of the font's average character width, one vertical unit an eighth of its
// height. The templates were drawn for a small handheld screen, so on a desktop the
// template's font is enlarged first and every unit follows it.
#pragma once

#include <QFont>
#include <QRect>

#include "gui/dialog_template.h"

namespace zelvar {

// Template point sizes were meant for a 240 x 320 screen held at arm's length.
constexpr double kDesktopFontScale = 1.5;
// Extra room around the enlarged text, so controls do not look cramped.
constexpr double kDesktopUnitScale = 1.2;

class CDialogUnits {
  public:
    explicit CDialogUnits(const QFont& font, double unitScale = kDesktopUnitScale);

    int X(int units) const;
    int Y(int units) const;
    QRect ToPixels(const DialogRect& rect) const;
    QSize DialogSize(const DialogTemplate& tmpl) const;

    int AverageCharWidth() const { return m_charWidth; }
    int CharHeight() const { return m_charHeight; }

  private:
    int m_charWidth;
    int m_charHeight;
    double m_scale;
};

// The font a template is shown in on this desktop: the application's font family (the
// template's own families do not exist here) at the template's size, enlarged.
QFont DialogFont(const DialogTemplate& tmpl);

}  // namespace zelvar
