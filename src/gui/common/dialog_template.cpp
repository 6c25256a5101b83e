#include "gui/common/dialog_template.h"

#include "base/resource_ids.h"

namespace zelvar {

namespace {

constexpr unsigned kTab = StyleTabStop;

constexpr ControlTemplate kMainControls[] = {
    {IDC_BROWSE_SEND, ControlKind::PushButton, "...", {107, 18, 22, 12}, kTab},
    {IDC_MODE, ControlKind::PushButton, "Loader", {5, 39, 34, 9}, StyleHidden | kTab},
    {IDC_LOAD, ControlKind::PushButton, "Load", {98, 35, 32, 13}, StyleDisabled | kTab},
    {IDC_SPEED_LIST, ControlKind::DropDownList, "", {4, 122, 44, 56}, StyleVScroll | kTab},
    {IDC_HEX, ControlKind::CheckBox, "Hex", {56, 123, 24, 10}, kTab},
    {IDC_PAUSE, ControlKind::CheckBox, "Pause", {88, 123, 38, 10}, kTab},
    {IDC_STATUS, ControlKind::Edit, "", {5, 122, 125, 12}, StyleReadOnly | StyleBorder | kTab},
    {IDC_MESSAGE_LIST,
     ControlKind::ListBox,
     "",
     {4, 51, 126, 68},
     StyleNotify | StyleVScroll | StyleBorder | kTab},
    {IDC_IMAGE_LABEL, ControlKind::StaticText, "Image", {6, 10, 58, 8}, StyleGroup},
    {IDC_LOGO, ControlKind::StaticBitmap, "", {75, 0, 58, 15}, StyleNotify | StyleStaticEdge},
    // Editable, so that a device path can be typed as well as chosen.
    {IDC_PORT_LIST, ControlKind::EditableDropDown, "", {59, 35, 34, 53}, StyleVScroll | kTab},
    {IDC_IMAGE_LIST,
     ControlKind::EditableDropDown,
     "",
     {5, 18, 102, 84},
     StyleSorted | StyleVScroll | kTab},
    {IDC_MODE_LABEL, ControlKind::StaticText, "Mode", {7, 31, 27, 8}, StyleHidden | StyleGroup},
    {IDC_CONNECT, ControlKind::PushButton, "Connect GPS", {5, 35, 50, 13}, kTab},
};

constexpr ControlTemplate kAboutControls[] = {
    {IDC_ABOUT_TITLE, ControlKind::StaticText, "GPS Firmware Loader", {7, 8, 125, 8}, StyleNone},
    {IDC_ABOUT_TEXT,
     ControlKind::MultiLineEdit,
     "",
     {7, 23, 125, 46},
     StyleReadOnly | StyleVScroll},
    {IDC_ABOUT_OK, ControlKind::DefaultPushButton, "OK", {44, 74, 50, 14}, kTab},
};

const DialogTemplate kMainDialog{102, kMainCaption, 133, 138, "System", 8, kMainControls};
const DialogTemplate kAboutDialog{135, kAboutCaption, 139, 95, "MS Sans Serif", 8, kAboutControls};

}  // namespace

const DialogTemplate& MainDialogTemplate() {
    return kMainDialog;
}

const DialogTemplate& AboutDialogTemplate() {
    return kAboutDialog;
}

const ControlTemplate* FindControl(const DialogTemplate& tmpl, int id) {
    for (const ControlTemplate& control : tmpl.controls) {
        if (control.id == id) return &control;
    }
    return nullptr;
}

}  // namespace zelvar
