// The loader's two dialog templates as data: every control with its id, kind, text,
// position and size in dialog units and its style bits, in template (and tab) order.
#pragma once

#include <span>

namespace zelvar {

enum class ControlKind {
    PushButton,
    DefaultPushButton,
    CheckBox,
    DropDownList,      // combo box, list only
    EditableDropDown,  // combo box with an edit field
    Edit,              // single-line edit
    MultiLineEdit,
    ListBox,
    StaticText,
    StaticBitmap,
};

// Style bits of the template controls that the Qt window has to honour.
enum ControlStyle : unsigned {
    StyleNone = 0,
    StyleTabStop = 1u << 0,
    StyleHidden = 1u << 1,
    StyleDisabled = 1u << 2,
    StyleReadOnly = 1u << 3,
    StyleSorted = 1u << 4,
    StyleVScroll = 1u << 5,
    StyleBorder = 1u << 6,
    StyleNotify = 1u << 7,
    StyleStaticEdge = 1u << 8,
    StyleGroup = 1u << 9,
};

struct DialogRect {
    int x, y, w, h;
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* text;
    DialogRect rect;  // dialog units; for a combo box h is the height with its list open
    unsigned style;
};

struct DialogTemplate {
    int id;
    const char* caption;
    int width, height;  // dialog units
    const char* fontFamily;
    int fontPoints;
    std::span<const ControlTemplate> controls;
};

// Template 102 (the main dialog) and template 135 (the About box).
const DialogTemplate& MainDialogTemplate();
const DialogTemplate& AboutDialogTemplate();
// The control with id in tmpl, or nullptr.
const ControlTemplate* FindControl(const DialogTemplate& tmpl, int id);

}  // namespace zelvar
