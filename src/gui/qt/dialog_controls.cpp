#include "gui/qt/dialog_controls.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

namespace zelvar {

namespace {

// A closed combo box is as tall as a single-line edit; the template's height is the
// height with the list dropped down.
constexpr int kClosedComboUnits = 12;
constexpr int kComboItemUnits = 8;
constexpr int kPopupMarginPx = 24;  // room for the open list's frame and scroll bar

QComboBox* MakeCombo(const ControlTemplate& control, bool editable, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(editable);
    if (editable) {
        combo->setInsertPolicy(QComboBox::NoInsert);  // Enter never adds the typed text
        combo->setCompleter(nullptr);
    }
    int items = (control.rect.h - kClosedComboUnits) / kComboItemUnits;
    combo->setMaxVisibleItems(items > 1 ? items : 1);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(1);
    return combo;
}

// A read-only edit is drawn on the dialog's own colour, so it does not look editable.
void ShowAsReadOnly(QWidget* edit) {
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    edit->setPalette(palette);
}

QWidget* MakeWidget(const ControlTemplate& control, QWidget* parent) {
    QString text = QString::fromUtf8(control.text);
    switch (control.kind) {
        case ControlKind::PushButton:
        case ControlKind::DefaultPushButton: {
            auto* button = new QPushButton(text, parent);
            bool isDefault = control.kind == ControlKind::DefaultPushButton;
            button->setAutoDefault(isDefault);  // Enter belongs to the dialog's OK
            button->setDefault(isDefault);
            return button;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(text, parent);
        case ControlKind::DropDownList:
            return MakeCombo(control, false, parent);
        case ControlKind::EditableDropDown:
            return MakeCombo(control, true, parent);
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(text, parent);
            edit->setReadOnly(control.style & StyleReadOnly);
            edit->setFrame(control.style & StyleBorder);
            if (edit->isReadOnly()) ShowAsReadOnly(edit);
            return edit;
        }
        case ControlKind::MultiLineEdit: {
            auto* edit = new QPlainTextEdit(text, parent);
            edit->setReadOnly(control.style & StyleReadOnly);
            edit->setLineWrapMode(QPlainTextEdit::NoWrap);
            if (!(control.style & StyleBorder)) edit->setFrameShape(QFrame::NoFrame);
            edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            if (edit->isReadOnly()) ShowAsReadOnly(edit);
            return edit;
        }
        case ControlKind::ListBox: {
            auto* list = new QListWidget(parent);
            list->setUniformItemSizes(true);
            if (!(control.style & StyleBorder)) list->setFrameShape(QFrame::NoFrame);
            return list;
        }
        case ControlKind::StaticText:
            return new QLabel(text, parent);
        case ControlKind::StaticBitmap: {
            auto* label = new CClickableLabel(parent);
            label->setAlignment(Qt::AlignCenter);
            if (control.style & StyleStaticEdge)
                label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            return label;
        }
    }
    return new QWidget(parent);
}

QRect PlaceFor(const ControlTemplate& control, const CDialogUnits& units) {
    QRect rect = units.ToPixels(control.rect);
    bool combo =
        control.kind == ControlKind::DropDownList || control.kind == ControlKind::EditableDropDown;
    if (combo) rect.setHeight(units.Y(kClosedComboUnits));
    return rect;
}

bool IsItemControl(QWidget* widget) {
    return qobject_cast<QComboBox*>(widget) || qobject_cast<QListWidget*>(widget);
}

}  // namespace

void CClickableLabel::mousePressEvent(QMouseEvent* event) {
    QLabel::mousePressEvent(event);
    emit clicked();
}

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QWidget* CreateControl(const ControlTemplate& control, const CDialogUnits& units, QWidget* parent) {
    QWidget* widget = MakeWidget(control, parent);
    widget->setObjectName(QStringLiteral("control%1").arg(control.id));
    widget->setGeometry(PlaceFor(control, units));
    if (!(control.style & StyleTabStop)) widget->setFocusPolicy(Qt::NoFocus);
    if (control.style & StyleDisabled) widget->setEnabled(false);
    if (control.style & StyleHidden) widget->hide();
    return widget;
}

std::string ControlText(QWidget* widget) {
    QString text;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        text = button->text();
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        text = combo->currentText();
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        text = edit->text();
    } else if (auto* multi = qobject_cast<QPlainTextEdit*>(widget)) {
        text = multi->toPlainText();
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        text = label->text();
    } else if (widget && widget->isWindow()) {
        text = widget->windowTitle();
    }
    return text.toStdString();
}

void SetControlText(QWidget* widget, std::string_view text) {
    QString value = ToQString(text);
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(value);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        if (combo->isEditable()) {
            combo->setEditText(value);
        } else {
            combo->setCurrentIndex(combo->findText(value, Qt::MatchFixedString));
        }
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(value);
    } else if (auto* multi = qobject_cast<QPlainTextEdit*>(widget)) {
        multi->setPlainText(value);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(value);
    } else if (widget && widget->isWindow()) {
        widget->setWindowTitle(value);
    }
}

int ListAddItem(QWidget* widget, std::string_view text, bool sorted) {
    QString value = ToQString(text);
    if (auto* list = qobject_cast<QListWidget*>(widget)) {
        list->addItem(value);
        return list->count() - 1;
    }
    auto* combo = qobject_cast<QComboBox*>(widget);
    if (!combo) return -1;
    int index = combo->count();
    if (sorted) {
        index = 0;
        while (index < combo->count() &&
               QString::compare(combo->itemText(index), value, Qt::CaseInsensitive) <= 0) {
            ++index;
        }
    }
    // QComboBox selects the first item added to it; the old control did not, and the
    // edit field kept its text.
    int selected = combo->currentIndex();
    QString editText = combo->currentText();
    combo->insertItem(index, value);
    if (selected < 0) {
        combo->setCurrentIndex(-1);
    }
    if (combo->isEditable()) combo->setEditText(editText);
    // Device paths are longer than the narrow port list: its open list shows them whole.
    QAbstractItemView* view = combo->view();
    view->setMinimumWidth(view->sizeHintForColumn(0) + kPopupMarginPx);
    return index;
}

void ListDeleteItem(QWidget* widget, int index) {
    if (auto* list = qobject_cast<QListWidget*>(widget)) {
        if (index >= 0 && index < list->count()) delete list->takeItem(index);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        if (index >= 0 && index < combo->count()) combo->removeItem(index);
    }
}

void ListSelectItem(QWidget* widget, int index) {
    if (auto* list = qobject_cast<QListWidget*>(widget)) {
        if (index < 0 || index >= list->count()) {
            list->setCurrentRow(-1);
            list->clearSelection();
            return;
        }
        list->setCurrentRow(index);
        list->scrollToItem(list->item(index));
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    }
}

int ListSelectedItem(QWidget* widget) {
    if (auto* list = qobject_cast<QListWidget*>(widget)) {
        QListWidgetItem* item = list->currentItem();
        return item && item->isSelected() ? list->row(item) : -1;
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentIndex();
    return -1;
}

int ListItemCount(QWidget* widget) {
    if (auto* list = qobject_cast<QListWidget*>(widget)) return list->count();
    if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->count();
    return 0;
}

std::string ListItemText(QWidget* widget, int index) {
    if (!IsItemControl(widget) || index < 0 || index >= ListItemCount(widget)) return {};
    if (auto* list = qobject_cast<QListWidget*>(widget))
        return list->item(index)->text().toStdString();
    return qobject_cast<QComboBox*>(widget)->itemText(index).toStdString();
}

void ListResetItems(QWidget* widget) {
    if (auto* list = qobject_cast<QListWidget*>(widget)) {
        list->clear();
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        combo->clear();  // like the old control, this empties an edit field too
        if (combo->isEditable()) combo->clearEditText();
    }
}

}  // namespace zelvar
