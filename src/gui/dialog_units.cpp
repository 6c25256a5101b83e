#include "gui/dialog_units.h"

#include <QApplication>
#include <QFontMetrics>
#include <cmath>

namespace zelvar {

namespace {

// The framework took the mean width of the 52 Latin letters, rounded up.
constexpr const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kAlphabetLetters = 52;
constexpr int kUnitsPerCharWidth = 4;
constexpr int kUnitsPerCharHeight = 8;

int AverageWidth(const QFontMetrics& metrics) {
    int total = metrics.horizontalAdvance(QString::fromLatin1(kAlphabet));
    return (total + kAlphabetLetters - 1) / kAlphabetLetters;
}

}  // namespace

CDialogUnits::CDialogUnits(const QFont& font, double unitScale)
    : m_charWidth(AverageWidth(QFontMetrics(font))),
      m_charHeight(QFontMetrics(font).height()),
      m_scale(unitScale) {}

int CDialogUnits::X(int units) const {
    return static_cast<int>(std::lround(units * m_charWidth * m_scale / kUnitsPerCharWidth));
}

int CDialogUnits::Y(int units) const {
    return static_cast<int>(std::lround(units * m_charHeight * m_scale / kUnitsPerCharHeight));
}

QRect CDialogUnits::ToPixels(const DialogRect& rect) const {
    // Edges are converted, not sizes, so neighbouring controls never overlap by rounding.
    int left = X(rect.x);
    int top = Y(rect.y);
    return QRect(left, top, X(rect.x + rect.w) - left, Y(rect.y + rect.h) - top);
}

QSize CDialogUnits::DialogSize(const DialogTemplate& tmpl) const {
    return QSize(X(tmpl.width), Y(tmpl.height));
}

QFont DialogFont(const DialogTemplate& tmpl) {
    QFont font = QApplication::font();
    font.setPointSizeF(tmpl.fontPoints * kDesktopFontScale);
    return font;
}

}  // namespace zelvar
