#include "gui/qt/progress_fill.h"

#include <QLinearGradient>
#include <QPalette>
#include <algorithm>

#include "base/main_window.h"

namespace zelvar {

namespace {

// The gradient's hard edge: two stops this close draw as one sharp boundary.
constexpr double kEdgeWidth = 1e-4;

}  // namespace

QColor ProgressFillColour() {
    return QColor(0x9C, 0xD4, 0x9C);
}

void ShowProgressFill(QWidget* control, const QBrush& plainBase, int percent) {
    if (!control) return;
    QPalette palette = control->palette();
    if (percent == kNoProgress) {
        palette.setBrush(QPalette::Base, plainBase);
    } else {
        const double share = std::clamp(percent, 0, 100) / 100.0;
        const QColor rest = plainBase.color();
        QLinearGradient fill(0, 0, 1, 0);
        fill.setCoordinateMode(QGradient::ObjectBoundingMode);
        fill.setColorAt(0, ProgressFillColour());
        fill.setColorAt(share, share > 0 ? ProgressFillColour() : rest);
        if (share < 1) fill.setColorAt(std::min(1.0, share + kEdgeWidth), rest);
        fill.setColorAt(1, share < 1 ? rest : ProgressFillColour());
        palette.setBrush(QPalette::Base, fill);
    }
    control->setPalette(palette);
    control->update();
}

}  // namespace zelvar
