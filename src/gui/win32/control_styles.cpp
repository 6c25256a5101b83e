#include "gui/win32/control_styles.h"

#include <cstring>

namespace zelvar::win32 {

namespace {

using namespace style;

unsigned KindStyle(ControlKind kind) {
    switch (kind) {
        case ControlKind::PushButton:
            return kPushButton;
        case ControlKind::DefaultPushButton:
            return kDefPushButton;
        case ControlKind::CheckBox:
            return kAutoCheckBox;
        case ControlKind::DropDownList:
            return kDropDownList;
        case ControlKind::EditableDropDown:
            // Scrolls sideways, so a path longer than the field can be typed.
            return kDropDown | kComboAutoHScroll;
        case ControlKind::Edit:
            return kEditAutoHScroll;
        case ControlKind::MultiLineEdit:
            return kEditMultiLine | kEditAutoVScroll | kEditAutoHScroll;
        case ControlKind::ListBox:
            return kListNoIntegralHeight;
        case ControlKind::StaticText:
            return 0;  // SS_LEFT
        case ControlKind::StaticBitmap:
            // The logo is drawn to the control's size.
            return kStaticBitmap | kStaticRealSizeControl;
    }
    return 0;
}

struct StyleBit {
    unsigned table;
    unsigned win32;
};

}  // namespace

const char* ControlClass(ControlKind kind) {
    switch (kind) {
        case ControlKind::PushButton:
        case ControlKind::DefaultPushButton:
        case ControlKind::CheckBox:
            return "Button";
        case ControlKind::DropDownList:
        case ControlKind::EditableDropDown:
            return "ComboBox";
        case ControlKind::Edit:
        case ControlKind::MultiLineEdit:
            return "Edit";
        case ControlKind::ListBox:
            return "ListBox";
        case ControlKind::StaticText:
        case ControlKind::StaticBitmap:
            return "Static";
    }
    return "Static";
}

unsigned Win32ControlStyle(const ControlTemplate& control) {
    const bool combo = std::strcmp(ControlClass(control.kind), "ComboBox") == 0;
    const bool list = control.kind == ControlKind::ListBox;
    const bool isStatic = std::strcmp(ControlClass(control.kind), "Static") == 0;
    const StyleBit bits[] = {
        {StyleTabStop, kTabStop},
        {StyleDisabled, kDisabled},
        {StyleReadOnly, kEditReadOnly},
        {StyleSorted, combo ? kComboSort : 0},
        {StyleVScroll, kVScroll},
        {StyleBorder, kBorder},
        {StyleNotify, list       ? kListNotify
                      : isStatic ? kStaticNotify
                                 : 0},
        {StyleGroup, kGroup},
    };
    unsigned result = kChild | KindStyle(control.kind);
    if (!(control.style & StyleHidden)) result |= kVisible;
    for (const StyleBit& bit : bits) {
        if (control.style & bit.table) result |= bit.win32;
    }
    return result;
}

unsigned Win32ControlExStyle(const ControlTemplate& control) {
    return (control.style & StyleStaticEdge) ? kExStaticEdge : 0;
}

unsigned DialogStyle(const DialogTemplate& tmpl) {
    const unsigned style = kPopup | kCaption | kSysMenu | kModalFrame | kSetFont;
    return tmpl.id == MainDialogTemplate().id ? style | kVisible : style;
}

unsigned DialogExStyle(const DialogTemplate& tmpl) {
    return tmpl.id == MainDialogTemplate().id ? kExAppWindow : 0;
}

const char* DialogFontFamily(const DialogTemplate& tmpl) {
    return std::strcmp(tmpl.fontFamily, "System") == 0 ? "MS Shell Dlg" : tmpl.fontFamily;
}

}  // namespace zelvar::win32
