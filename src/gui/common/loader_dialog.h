// The main dialog's handlers (template 102), free of any toolkit: they reach the
// controls only through the main-window seam. A front end constructs CLoaderDlg with
// its window, calls OnInitDialog once the controls exist and forwards every command
// or selection change to OnCommand, the close button to OnCloseRequest.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "app/jobs.h"
#include "base/main_window.h"
#include "gui/common/loader_layout.h"

namespace zelvar {

// Command ids of the dialog's own OK (Enter) and Cancel (Escape).
constexpr int IDOK_COMMAND = 1;
constexpr int IDCANCEL_COMMAND = 2;

constexpr std::size_t kImagePathChars = 259;  // image path and command text
constexpr const char* kDefaultImageName = "CorvaneAndPfl.bin";

// The default image beside the program (programDirectory ends with '/') when it is
// there, else in the user's current directory.
std::string DefaultImagePath(const std::string& programDirectory);
constexpr const char* kBrowseTitle = "Get name Image - file";
constexpr const char* kBrowseFilter = "Image - FILES(*.bin)|*.bin|ALL files(*.*)|*.*||";
constexpr const char* kCloseQuestion =
    "GPS uploading is in progress. Terminating may cause GPS failure.\r\nTerminate anyway ?";

// The control whose click OK sends: 0 at start, IDC_CONNECT once browse was used.
extern std::atomic<int> g_defaultCommand;

class CLoaderDlg {
  public:
    // Asks the user for an image file with the save-kind file dialog (a name that need
    // not exist yet; no overwrite prompt, no read-only box). path holds the initial
    // name and receives the choice; false when the user cancelled.
    using BrowseFunction =
        std::function<bool(std::string& path, const char* title, const char* filter)>;

    // Creates the log file in the program's directory; loader mode.
    explicit CLoaderDlg(IMainWindow& window);
    ~CLoaderDlg();
    CLoaderDlg(const CLoaderDlg&) = delete;
    CLoaderDlg& operator=(const CLoaderDlg&) = delete;

    // Front-end hooks, set before OnInitDialog.
    void SetBrowseFunction(BrowseFunction browse) { m_browse = std::move(browse); }
    // Further ports offered after "GPS1:" and "GPS2:" (serial devices, a simulator).
    void SetExtraPorts(std::vector<PortChoice> ports) { m_extraPorts = std::move(ports); }
    void SetExtraPorts(const std::vector<std::string>& ports) { m_extraPorts = PortChoices(ports); }

    bool OnInitDialog();
    // The system's serial devices changed: the port list offers ports anew and keeps
    // showing the current choice.
    void OnPortsChanged(std::vector<PortChoice> ports);
    void ApplyModeLayout();
    void OnCommand(int id);

    void OnLoad();
    void OnBrowseOrSend();
    void OnModeButton();
    void OnSpeedSelected();
    void OnHexClicked();
    void OnPauseClicked();
    void OnOk();
    void OnCancel();
    // The caption's close button: true when the dialog may close.
    bool OnCloseRequest();

    const std::string& ImagePath() const { return m_imagePath; }
    const JobRequest& Job() const { return m_job; }

  private:
    void Browse();
    void Send();
    bool ConfirmCloseWhileProgramming();
    void OnPortChosen();

    IMainWindow& m_window;
    std::string m_logProblem;  // why no log file is open, shown once the dialog is up
    std::string m_imagePath;
    JobRequest m_job;
    BrowseFunction m_browse;
    std::vector<PortChoice> m_extraPorts;
};

}  // namespace zelvar
