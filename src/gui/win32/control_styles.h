// How the control table of templates 102 and 135 reads as a Win32 dialog resource: the
// window class and style bits of each control, the dialog's own styles and its font.
// Plain numbers rather than the Windows headers, so that the build machine's tool that
// writes the resource script (make_dialog_rc.cpp) shares them; win32_style_values.cpp
// holds them against the Windows headers.
#pragma once

#include "gui/common/dialog_template.h"

namespace zelvar::win32 {

namespace style {
constexpr unsigned kChild = 0x40000000, kVisible = 0x10000000, kDisabled = 0x08000000;
constexpr unsigned kPopup = 0x80000000, kCaption = 0x00C00000, kSysMenu = 0x00080000;
constexpr unsigned kBorder = 0x00800000, kVScroll = 0x00200000, kHScroll = 0x00100000;
constexpr unsigned kGroup = 0x00020000, kTabStop = 0x00010000;
constexpr unsigned kModalFrame = 0x80, kSetFont = 0x40;                           // DS_
constexpr unsigned kPushButton = 0x0, kDefPushButton = 0x1, kAutoCheckBox = 0x3;  // BS_
constexpr unsigned kDropDown = 0x2, kDropDownList = 0x3, kComboAutoHScroll = 0x40,
                   kComboSort = 0x100;  // CBS_
constexpr unsigned kEditMultiLine = 0x4, kEditAutoVScroll = 0x40, kEditAutoHScroll = 0x80,
                   kEditReadOnly = 0x800;                             // ES_
constexpr unsigned kListNotify = 0x1, kListNoIntegralHeight = 0x100;  // LBS_
constexpr unsigned kStaticBitmap = 0xE, kStaticRealSizeControl = 0x40, kStaticNotify = 0x100;
constexpr unsigned kExStaticEdge = 0x00020000, kExAppWindow = 0x00040000;  // WS_EX_
}  // namespace style

// "Button", "ComboBox", "Edit", "ListBox" or "Static".
const char* ControlClass(ControlKind kind);
// WS_, BS_, CBS_, ES_, LBS_ and SS_ bits of control, WS_CHILD included.
unsigned Win32ControlStyle(const ControlTemplate& control);
unsigned Win32ControlExStyle(const ControlTemplate& control);

// Popup with caption, system menu and modal frame (the main dialog visible, with a
// taskbar entry), its font set from the template.
unsigned DialogStyle(const DialogTemplate& tmpl);
unsigned DialogExStyle(const DialogTemplate& tmpl);
// The template's font where Windows has it: "System" becomes "MS Shell Dlg".
const char* DialogFontFamily(const DialogTemplate& tmpl);

}  // namespace zelvar::win32
