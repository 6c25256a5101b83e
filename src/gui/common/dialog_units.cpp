#include "gui/common/dialog_units.h"

#include <cmath>

namespace zelvar {

namespace {

constexpr int kAlphabetLetters = 52;
constexpr int kUnitsPerCharWidth = 4;
constexpr int kUnitsPerCharHeight = 8;

}  // namespace

int AverageCharWidth(int alphabetWidth) {
    return (alphabetWidth + kAlphabetLetters - 1) / kAlphabetLetters;
}

CDialogUnitScale::CDialogUnitScale(int charWidth, int charHeight, double unitScale)
    : m_charWidth(charWidth), m_charHeight(charHeight), m_scale(unitScale) {}

int CDialogUnitScale::X(int units) const {
    return static_cast<int>(std::lround(units * m_charWidth * m_scale / kUnitsPerCharWidth));
}

int CDialogUnitScale::Y(int units) const {
    return static_cast<int>(std::lround(units * m_charHeight * m_scale / kUnitsPerCharHeight));
}

PixelRect CDialogUnitScale::ToPixels(const DialogRect& rect) const {
    const int left = X(rect.x);
    const int top = Y(rect.y);
    return {left, top, X(rect.x + rect.w) - left, Y(rect.y + rect.h) - top};
}

}  // namespace zelvar
