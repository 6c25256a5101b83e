// A build tool, run on the build machine: writes the resource script of dialogs 102 and
// 135 and the string table from the control table and the program's strings, so that the Windows
// dialog resource and the table are one fact.   make_dialog_rc OUTPUT.rc
#include <cstdio>
#include <string>

#include "base/resource_ids.h"
#include "gui/common/dialog_template.h"
#include "gui/win32/control_styles.h"

namespace {

using namespace zelvar;
using namespace zelvar::win32;

// A resource script string: quotes doubled, a line break as \n.
std::string Quoted(const char* text) {
    std::string quoted;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '"')
            quoted += "\"\"";
        else if (*c == '\n')
            quoted += "\\n";
        else
            quoted += *c;
    }
    return quoted;
}

void WriteDialog(std::FILE* out, const DialogTemplate& tmpl) {
    std::fprintf(out, "%d DIALOGEX 0, 0, %d, %d\n", tmpl.id, tmpl.width, tmpl.height);
    std::fprintf(out, "STYLE 0x%08X\nEXSTYLE 0x%08X\n", DialogStyle(tmpl), DialogExStyle(tmpl));
    std::fprintf(out, "CAPTION \"%s\"\nFONT %d, \"%s\", 0, 0, 1\nBEGIN\n",
                 Quoted(tmpl.caption).c_str(), tmpl.fontPoints, DialogFontFamily(tmpl));
    for (const ControlTemplate& c : tmpl.controls) {
        // The resource compiler makes every CONTROL visible unless told NOT.
        const bool hidden = !(Win32ControlStyle(c) & style::kVisible);
        std::fprintf(out, "    CONTROL \"%s\", %d, \"%s\", 0x%08X%s, %d, %d, %d, %d, 0x%08X\n",
                     Quoted(c.text).c_str(), c.id, ControlClass(c.kind), Win32ControlStyle(c),
                     hidden ? " | NOT 0x10000000" : "", c.rect.x, c.rect.y, c.rect.w, c.rect.h,
                     Win32ControlExStyle(c));
    }
    std::fprintf(out, "END\n\n");
}

void WriteStrings(std::FILE* out) {
    std::fprintf(out, "STRINGTABLE\nBEGIN\n");
    for (int id : {IDS_ALREADY_RUNNING, IDS_APP_TITLE, IDS_VERSION, IDS_LOADER_NAME, IDS_FW_VERSION,
                   IDS_PFLD_VERSION}) {
        std::fprintf(out, "    %d, \"%s\"\n", id, Quoted(LoadResourceString(id)).c_str());
    }
    std::fprintf(out, "END\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_dialog_rc OUTPUT.rc\n");
        return 64;
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) return 1;
    std::fprintf(out, "// Written by make_dialog_rc from the dialog control table.\n\n");
    WriteDialog(out, MainDialogTemplate());
    WriteDialog(out, AboutDialogTemplate());
    WriteStrings(out);
    return std::fclose(out) == 0 ? 0 : 1;
}
