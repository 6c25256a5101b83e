// Qt widgets standing in for the template controls, and the small per-kind
// operations (text, list items) that the main-window seam needs on them.
#pragma once

#include <QLabel>
#include <QWidget>
#include <string>
#include <string_view>

#include "gui/common/dialog_template.h"
#include "gui/qt/dialog_units.h"

namespace zelvar {

// The picture control: shows a pixmap and reports clicks.
class CClickableLabel : public QLabel {
    Q_OBJECT
  public:
    using QLabel::QLabel;

  signals:
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// Creates the widget for one template control, placed and styled, as a child of parent.
QWidget* CreateControl(const ControlTemplate& control, const CDialogUnits& units, QWidget* parent);

// Widget text as the old controls answered it: button caption, edit or combo text.
std::string ControlText(QWidget* widget);
void SetControlText(QWidget* widget, std::string_view text);

// List and combo box items. Adding to a sorted control inserts in order, as the old
// sorted controls did (case-insensitive); adding never changes an edit field's text.
int ListAddItem(QWidget* widget, std::string_view text, bool sorted);
void ListDeleteItem(QWidget* widget, int index);
void ListSelectItem(QWidget* widget, int index);
int ListSelectedItem(QWidget* widget);
int ListItemCount(QWidget* widget);
std::string ListItemText(QWidget* widget, int index);
void ListResetItems(QWidget* widget);

QString ToQString(std::string_view text);

}  // namespace zelvar
