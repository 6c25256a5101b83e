#include "gui/qt/dialog_units.h"

#include <QApplication>
#include <QFontMetrics>

namespace zelvar {

namespace {

CDialogUnitScale MeasuredScale(const QFont& font, double unitScale) {
    const QFontMetrics metrics(font);
    const int alphabet = metrics.horizontalAdvance(QString::fromLatin1(kAverageWidthAlphabet));
    return CDialogUnitScale(AverageCharWidth(alphabet), metrics.height(), unitScale);
}

}  // namespace

CDialogUnits::CDialogUnits(const QFont& font, double unitScale)
    : m_scale(MeasuredScale(font, unitScale)) {}

QRect CDialogUnits::ToPixels(const DialogRect& rect) const {
    const PixelRect pixels = m_scale.ToPixels(rect);
    return QRect(pixels.x, pixels.y, pixels.w, pixels.h);
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
