// Control ids of the main dialog (template 102) and the About box (template 135), and
// the string table. Every front end addresses the controls through these ids.
#pragma once

namespace zelvar {

// Main dialog, in template (and tab) order.
constexpr int IDC_BROWSE_SEND = 1008;      // "..." in loader mode, "Send" in terminal mode
constexpr int IDC_MODE = 1009;             // hidden mode switch, text names the current mode
constexpr int IDC_LOAD = 1003;             // "Load"
constexpr int IDC_SPEED_LIST = 1015;       // terminal line speed
constexpr int IDC_HEX = 1002;              // "Hex"
constexpr int IDC_PAUSE = 1004;            // "Pause"
constexpr int IDC_STATUS = 1007;           // status line
constexpr int IDC_MESSAGE_LIST = 1006;     // message list
constexpr int IDC_IMAGE_LABEL = 1010;      // "Image" / "Select FW Image" / "GPS Command"
constexpr int IDC_LOGO = 1019;             // logo bitmap, click opens the About box
constexpr int IDC_PORT_LIST = 1021;        // serial port
constexpr int IDC_IMAGE_LIST = 1001;       // image path (loader) / command (terminal)
constexpr int IDC_MODE_LABEL = 1011;       // "Mode", never shown
constexpr int IDC_CONNECT = 1024;          // "Connect GPS"
constexpr int IDC_CLOSE_AS_CANCEL = 1016;  // command id only, no control carries it

// About box.
constexpr int IDC_ABOUT_TITLE = 1023;
constexpr int IDC_ABOUT_TEXT = 1020;
constexpr int IDC_ABOUT_OK = 1;

// The whole window, for repaint requests.
constexpr int IDC_WINDOW = 0;

// String table.
constexpr int IDS_ALREADY_RUNNING = 1;
constexpr int IDS_APP_TITLE = 57344;
constexpr int IDS_VERSION = 57345;
constexpr int IDS_LOADER_NAME = 57346;
constexpr int IDS_FW_VERSION = 57347;
constexpr int IDS_PFLD_VERSION = 57348;

constexpr const char* kStrAlreadyRunning =
    "Application is already runnning!\nTerminating this instance.";
constexpr const char* kStrAppTitle = "Zelvar Firmware Loader";
constexpr const char* kStrVersion = "1.1.2";
constexpr const char* kStrLoaderName = "GPS firmware loader";
constexpr const char* kStrFwVersion = "GPS firmware version";
constexpr const char* kStrPfldVersion = "GPS Pfld version";

// The main dialog's caption (template 102) and the About box caption (template 135).
constexpr const char* kMainCaption = "GPS firmware loader 1.12";
constexpr const char* kAboutCaption = "About";

// Text of string table entry id, or "" for an unknown id.
constexpr const char* LoadResourceString(int id) {
    switch (id) {
        case IDS_ALREADY_RUNNING:
            return kStrAlreadyRunning;
        case IDS_APP_TITLE:
            return kStrAppTitle;
        case IDS_VERSION:
            return kStrVersion;
        case IDS_LOADER_NAME:
            return kStrLoaderName;
        case IDS_FW_VERSION:
            return kStrFwVersion;
        case IDS_PFLD_VERSION:
            return kStrPfldVersion;
        default:
            return "";
    }
}

}  // namespace zelvar
