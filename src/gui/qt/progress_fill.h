// The share of a job done, shown without changing any text or the layout: the
// control's background fills from the left, and the window title leads with the
// percentage.
#pragma once

#include <QString>
#include <QWidget>

namespace zelvar {

// The colour the done share of a control's background takes.
QColor ProgressFillColour();

// Fills percent of control's background (kNoProgress: the plain background again).
// plainBase is the background the control has without progress.
void ShowProgressFill(QWidget* control, const QBrush& plainBase, int percent);

}  // namespace zelvar
