// The plain style numbers of control_styles.h, held against the Windows headers.
#include <windows.h>

#include "gui/win32/control_styles.h"

namespace zelvar::win32::style {

static_assert(kChild == WS_CHILD && kVisible == WS_VISIBLE && kDisabled == WS_DISABLED);
static_assert(kPopup == WS_POPUP && kCaption == WS_CAPTION && kSysMenu == WS_SYSMENU);
static_assert(kBorder == WS_BORDER && kVScroll == WS_VSCROLL && kHScroll == WS_HSCROLL);
static_assert(kGroup == WS_GROUP && kTabStop == WS_TABSTOP);
static_assert(kModalFrame == DS_MODALFRAME && kSetFont == DS_SETFONT);
static_assert(kPushButton == BS_PUSHBUTTON && kDefPushButton == BS_DEFPUSHBUTTON &&
              kAutoCheckBox == BS_AUTOCHECKBOX);
static_assert(kDropDown == CBS_DROPDOWN && kDropDownList == CBS_DROPDOWNLIST &&
              kComboAutoHScroll == CBS_AUTOHSCROLL && kComboSort == CBS_SORT);
static_assert(kEditMultiLine == ES_MULTILINE && kEditAutoVScroll == ES_AUTOVSCROLL &&
              kEditAutoHScroll == ES_AUTOHSCROLL && kEditReadOnly == ES_READONLY);
static_assert(kListNotify == LBS_NOTIFY && kListNoIntegralHeight == LBS_NOINTEGRALHEIGHT);
static_assert(kStaticBitmap == SS_BITMAP && kStaticRealSizeControl == SS_REALSIZECONTROL &&
              kStaticNotify == SS_NOTIFY);
static_assert(kExStaticEdge == WS_EX_STATICEDGE && kExAppWindow == WS_EX_APPWINDOW);

}  // namespace zelvar::win32::style
