// The main dialog's handlers through a headless main window.
#include "gui/common/loader_dialog.h"

#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/message_log.h"
#include "gui/common/loader_layout.h"
#include "image/app_directory.h"
#include "program_log_lock.h"
#include "pty_pair.h"
#include "terminal_fixture.h"
#include "test_env.h"

namespace zelvar {
namespace {

using test::Lines;
using test::PtyPair;
using test::WaitFor;

std::string ProgramDirectory() {
    char directory[kPathBytes] = {};
    EXPECT_TRUE(GetAppDirectory(directory));
    return directory;
}

// Runs a test from another current directory, and goes back after it.
class WorkingDirectory {
  public:
    explicit WorkingDirectory(const std::string& path) {
        char old[kPathBytes] = {};
        EXPECT_TRUE(GetWorkingDirectory(old));
        m_old = old;
        EXPECT_EQ(chdir(path.c_str()), 0);
    }
    ~WorkingDirectory() { EXPECT_EQ(chdir(m_old.c_str()), 0); }

  private:
    std::string m_old;
};

TEST(DefaultImage, BesideTheProgramWhenItIsThereElseInTheCurrentDirectory) {
    test::TempDir program, current;
    WorkingDirectory cwd(current.Path());
    EXPECT_EQ(DefaultImagePath(program.Path()), current.File("CorvaneAndPfl.bin"));
    test::WriteFile(program.File("CorvaneAndPfl.bin"), "image");
    EXPECT_EQ(DefaultImagePath(program.Path()), program.File("CorvaneAndPfl.bin"));
}

class LoaderDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        test::ResetTerminalState();
        g_uploadBusy = false;
        SetMainWindow(m_window);
        m_dlg = std::make_unique<CLoaderDlg>(*m_window);
        m_dlg->SetExtraPorts({m_pty.SlavePath()});
        ASSERT_TRUE(m_dlg->OnInitDialog());
    }
    void TearDown() override {
        if (g_terminalMode == 1) m_dlg->OnModeButton();
        EXPECT_TRUE(WaitFor([] { return ActiveTerminalSession() == 0; }));
        m_dlg.reset();
        SetMainWindow(nullptr);
        g_uploadBusy = false;
        test::ResetTerminalState();
    }
    CHeadlessWindow& W() { return *m_window; }
    void SelectPty() {
        W().ListSelect(IDC_PORT_LIST, 2);
        m_dlg->OnCommand(IDC_PORT_LIST);
    }
    void ExpectLoaderLayout() {
        EXPECT_EQ(W().GetText(IDC_IMAGE_LABEL), "Select FW Image");
        EXPECT_EQ(W().ListItems(IDC_IMAGE_LIST),
                  std::vector<std::string>{m_current.File("CorvaneAndPfl.bin")});
        EXPECT_EQ(W().ListSelection(IDC_IMAGE_LIST), 0);
        EXPECT_EQ(W().GetText(IDC_BROWSE_SEND), "...");
        EXPECT_EQ(W().GetText(IDC_MODE), "Loader");
        EXPECT_TRUE(W().IsEnabled(IDC_BROWSE_SEND));
        EXPECT_TRUE(W().IsEnabled(IDC_CONNECT));
        EXPECT_FALSE(W().IsEnabled(IDC_LOAD));
        EXPECT_TRUE(W().IsShown(IDC_STATUS));
        for (int id : {IDC_SPEED_LIST, IDC_HEX, IDC_PAUSE}) EXPECT_FALSE(W().IsShown(id)) << id;
    }

    test::ProgramLogLock m_logLock;  // first: held until the dialog and its log are gone
    test::TempDir m_current;
    WorkingDirectory m_cwd{m_current.Path()};
    PtyPair m_pty;
    std::shared_ptr<CHeadlessWindow> m_window = std::make_shared<CHeadlessWindow>();
    std::unique_ptr<CLoaderDlg> m_dlg;
};

// A listed port by its label opens its device; a typed path opens as it stands.
TEST_F(LoaderDialog, PortChosenByLabelOrTypedOpensTheDevice) {
    m_dlg->SetExtraPorts(std::vector<PortChoice>{{"FT232R USB UART (ttyUSB0)", m_pty.SlavePath()}});
    ASSERT_TRUE(m_dlg->OnInitDialog());
    W().ListSelect(IDC_PORT_LIST, 2);
    m_dlg->OnCommand(IDC_PORT_LIST);
    EXPECT_EQ(g_portName.Get(), m_pty.SlavePath());
    W().ListSelect(IDC_PORT_LIST, 1);
    m_dlg->OnCommand(IDC_PORT_LIST);
    EXPECT_EQ(g_portName.Get(), "GPS2:");
    W().SetText(IDC_PORT_LIST, "/dev/ttyUSB7");  // typed into the list's field
    m_dlg->OnCommand(IDC_PORT_LIST);
    EXPECT_EQ(g_portName.Get(), "/dev/ttyUSB7");
    W().SetText(IDC_PORT_LIST, "FT232R USB UART (ttyUSB0)");  // a label typed in full
    m_dlg->OnCommand(IDC_PORT_LIST);
    EXPECT_EQ(g_portName.Get(), m_pty.SlavePath());
}

// An adapter plugged in or out: the list offers the ports anew, the choice stays shown
// and in use, listed or not.
TEST_F(LoaderDialog, PortsChangedKeepTheChoice) {
    ASSERT_TRUE(m_dlg->OnInitDialog());
    W().SetText(IDC_PORT_LIST, "COM12");
    m_dlg->OnCommand(IDC_PORT_LIST);
    m_dlg->OnPortsChanged(PortChoices({"COM3", "COM12"}));
    EXPECT_EQ(W().ListItems(IDC_PORT_LIST),
              (std::vector<std::string>{"GPS1:", "GPS2:", "COM3", "COM12"}));
    EXPECT_EQ(W().ListSelection(IDC_PORT_LIST), 3);
    m_dlg->OnPortsChanged({});
    EXPECT_EQ(W().ListSelection(IDC_PORT_LIST), -1);
    EXPECT_EQ(W().GetText(IDC_PORT_LIST), "COM12");
    EXPECT_EQ(g_portName.Get(), "COM12");
}

TEST_F(LoaderDialog, StartsInLoaderModeWithDefaults) {
    ExpectLoaderLayout();
    // No image beside the test program: the default is in the current directory.
    EXPECT_EQ(m_dlg->ImagePath(), m_current.File("CorvaneAndPfl.bin"));
    EXPECT_TRUE(Lines(W()).empty());
    EXPECT_EQ(W().ListItems(IDC_SPEED_LIST),
              (std::vector<std::string>{"9600", "19200", "57600", "115200", "4800"}));
    EXPECT_EQ(W().ListSelection(IDC_SPEED_LIST), 4);
    EXPECT_EQ(W().ListItems(IDC_PORT_LIST),
              (std::vector<std::string>{"GPS1:", "GPS2:", m_pty.SlavePath()}));
    EXPECT_EQ(W().ListSelection(IDC_PORT_LIST), 0);
    EXPECT_EQ(g_portName.Get(), "GPS1:");
    EXPECT_EQ(g_terminalMode, 0);
    // The log file is made in the program's directory, header first.
    EXPECT_EQ(test::ReadFile(ProgramDirectory() + "Zelvar.txt"), "GPS firmware loader 1.1.2\r\n");
}

TEST_F(LoaderDialog, ModeButtonSwitchesLayoutsBothWays) {
    SelectPty();
    LogLine("old line");
    m_dlg->OnCommand(IDC_MODE);
    EXPECT_TRUE(Lines(W()).empty());
    EXPECT_EQ(W().GetText(IDC_IMAGE_LABEL), "GPS Command");
    EXPECT_EQ(W().GetText(IDC_BROWSE_SEND), "Send");
    EXPECT_EQ(W().GetText(IDC_MODE), "Terminal");
    EXPECT_FALSE(W().IsEnabled(IDC_CONNECT));
    EXPECT_FALSE(W().IsEnabled(IDC_LOAD));
    EXPECT_FALSE(W().IsShown(IDC_STATUS));
    for (int id : {IDC_SPEED_LIST, IDC_HEX, IDC_PAUSE}) EXPECT_TRUE(W().IsShown(id)) << id;
    std::vector<std::string> presets = W().ListItems(IDC_IMAGE_LIST);
    ASSERT_EQ(presets.size(), 16u);
    EXPECT_TRUE(std::is_sorted(presets.begin(), presets.end()));  // the control sorts them
    EXPECT_EQ(std::count(presets.begin(), presets.end(), "@ 24 24 0 7 A 0 D"), 1);
    EXPECT_EQ(m_dlg->Job().terminal, 1);
    EXPECT_EQ(m_dlg->Job().portName, m_pty.SlavePath());
    // The job's loop takes the port and sets the chosen speed.
    EXPECT_TRUE(WaitFor([&] { return m_pty.SlaveSpeed() == 4800; }));

    W().Enable(IDC_LOAD, true);
    m_dlg->OnCommand(IDC_MODE);
    ExpectLoaderLayout();
    EXPECT_TRUE(WaitFor([] { return ActiveTerminalSession() == 0; }));
    EXPECT_EQ(RunningTerminalLoops(), 0);
}

TEST_F(LoaderDialog, TerminalJobWhosePortFailsLetsTheNextJobRun) {
    g_portName.Set("/nonexistent/zelvar-gps");
    m_dlg->OnCommand(IDC_MODE);
    ASSERT_TRUE(WaitFor([&] {
        std::vector<std::string> lines = Lines(W());
        return !lines.empty() && lines.back() == "Upload failed";
    }));
    ASSERT_EQ(W().Questions().size(), 1u);
    EXPECT_EQ(W().Questions()[0].text, "Can not open serial port 1.");
    m_dlg->OnCommand(IDC_MODE);
    SelectPty();
    m_dlg->OnCommand(IDC_MODE);
    EXPECT_TRUE(WaitFor([&] { return m_pty.SlaveSpeed() == 4800; }));
    EXPECT_EQ(W().Questions().size(), 1u);
    EXPECT_EQ(RunningTerminalLoops(), 1);
}

TEST_F(LoaderDialog, EnterDoesNothingBeforeBrowseAndConnectsAfter) {
    LogLine("kept");
    m_dlg->OnCommand(IDOK_COMMAND);
    EXPECT_EQ(Lines(W()), std::vector<std::string>{"kept"});
    EXPECT_TRUE(W().Questions().empty());
    EXPECT_FALSE(W().Ended());

    std::string seenPath, seenTitle, seenFilter;
    m_dlg->SetBrowseFunction([&](std::string& path, const char* title, const char* filter) {
        seenPath = path;
        seenTitle = title;
        seenFilter = filter;
        return false;  // cancelled
    });
    m_dlg->OnCommand(IDC_BROWSE_SEND);
    EXPECT_EQ(seenPath, m_dlg->ImagePath());
    EXPECT_EQ(seenTitle, "Get name Image - file");
    EXPECT_EQ(seenFilter, "Image - FILES(*.bin)|*.bin|ALL files(*.*)|*.*||");
    EXPECT_EQ(W().Focus(), IDC_CONNECT);
    EXPECT_EQ(g_defaultCommand, IDC_CONNECT);

    // Enter is now Connect GPS, even with the button disabled: the list is emptied and
    // the (missing) port is tried.
    g_portName.Set("/nonexistent/zelvar-gps");
    W().Enable(IDC_CONNECT, false);
    m_dlg->OnCommand(IDOK_COMMAND);
    EXPECT_TRUE(Lines(W()).empty());
    ASSERT_EQ(W().Questions().size(), 1u);
    EXPECT_EQ(W().Questions()[0].text, "Can not open serial port 1.");
    EXPECT_EQ(W().GetText(IDC_STATUS), "Cannot open GPS port.");
    EXPECT_FALSE(W().Ended());
}

TEST_F(LoaderDialog, ConfirmedBrowseShowsThePathAndLoadTakesTypedText) {
    m_dlg->SetBrowseFunction([](std::string& path, const char*, const char*) {
        path = "/tmp/chosen.bin";
        return true;
    });
    m_dlg->OnCommand(IDC_BROWSE_SEND);
    EXPECT_EQ(m_dlg->ImagePath(), "/tmp/chosen.bin");
    EXPECT_EQ(W().GetText(IDC_IMAGE_LIST), "/tmp/chosen.bin");

    W().SetText(IDC_IMAGE_LIST, "/tmp/typed by hand.bin");
    g_portName.Set("/nonexistent/zelvar-gps");
    LogLine("cleared at load");
    m_dlg->OnCommand(IDC_LOAD);
    EXPECT_EQ(m_dlg->ImagePath(), "/tmp/typed by hand.bin");
    EXPECT_EQ(m_dlg->Job().imagePath, "/tmp/typed by hand.bin");
    EXPECT_EQ(m_dlg->Job().portName, "/nonexistent/zelvar-gps");
    EXPECT_EQ(m_dlg->Job().terminal, 0);
    EXPECT_GE(W().RepaintCount(IDC_WINDOW), 1);
    // The job cannot open the port and ends with its verdict.
    ASSERT_TRUE(WaitFor([&] {
        std::vector<std::string> lines = Lines(W());
        return !lines.empty() && lines.back() == "Upload failed";
    }));
    std::vector<std::string> lines = Lines(W());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "cleared at load"), 0);
    EXPECT_TRUE(W().IsEnabled(IDC_CONNECT));
    EXPECT_FALSE(W().IsEnabled(IDC_LOAD));

    // A long path reaches the job whole, never cut into another file's path.
    const std::string longPath = "/tmp/" + std::string(300, 'p') + ".bin";
    W().SetText(IDC_IMAGE_LIST, longPath);
    m_dlg->OnCommand(IDC_LOAD);
    EXPECT_EQ(m_dlg->Job().imagePath, longPath);
    ASSERT_TRUE(WaitFor([&] {
        std::vector<std::string> lines = Lines(W());
        return !lines.empty() && lines.back() == "Upload failed";
    }));
}

TEST_F(LoaderDialog, CloseAndEscapeAskOnlyWhileProgramming) {
    EXPECT_TRUE(m_dlg->OnCloseRequest());
    EXPECT_TRUE(W().Questions().empty());

    g_uploadBusy = true;
    bool answer = false;
    W().SetAnswerer([&](const CHeadlessWindow::Question&) { return answer; });
    EXPECT_FALSE(m_dlg->OnCloseRequest());
    m_dlg->OnCommand(IDCANCEL_COMMAND);
    m_dlg->OnCommand(IDC_CLOSE_AS_CANCEL);
    EXPECT_FALSE(W().Ended());
    std::vector<CHeadlessWindow::Question> asked = W().Questions();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0].text,
              "GPS uploading is in progress. Terminating may cause GPS failure.\r\n"
              "Terminate anyway ?");
    EXPECT_EQ(asked[0].caption, "Zelvar Firmware Loader");
    EXPECT_EQ(asked[0].buttons, AskButtons::YesNo);

    answer = true;
    EXPECT_TRUE(m_dlg->OnCloseRequest());
    m_dlg->OnCommand(IDCANCEL_COMMAND);
    EXPECT_TRUE(W().Ended());
}

TEST_F(LoaderDialog, JobControlsGoOffForAnUploadAndComeBackWithoutLoad) {
    const int jobControls[] = {IDC_CONNECT, IDC_IMAGE_LIST, IDC_BROWSE_SEND, IDC_MODE,
                               IDC_PORT_LIST};
    W().Enable(IDC_LOAD, true);
    SetJobControls(false, false);
    EXPECT_FALSE(W().IsEnabled(IDC_LOAD));
    for (int id : jobControls) EXPECT_FALSE(W().IsEnabled(id)) << id;
    SetJobControls(true, true);
    EXPECT_FALSE(W().IsEnabled(IDC_LOAD));
    for (int id : jobControls) EXPECT_TRUE(W().IsEnabled(id)) << id;
}

TEST_F(LoaderDialog, HexPauseAndSpeedSetTheTerminalWords) {
    m_dlg->OnCommand(IDC_HEX);
    m_dlg->OnCommand(IDC_PAUSE);
    EXPECT_EQ(g_hexDisplay, 1);
    EXPECT_EQ(g_pauseDisplay, 1);
    m_dlg->OnCommand(IDC_HEX);
    EXPECT_EQ(g_hexDisplay, 0);
    EXPECT_EQ(g_pauseDisplay, 1);

    W().ListSelect(IDC_SPEED_LIST, 3);
    m_dlg->OnCommand(IDC_SPEED_LIST);
    EXPECT_EQ(g_terminalBaud, 115200);
    W().ListSelect(IDC_SPEED_LIST, -1);
    m_dlg->OnCommand(IDC_SPEED_LIST);
    EXPECT_EQ(g_terminalBaud, 115200);
    // A speed chosen in loader mode waits for the next terminal job, which then runs
    // at the speed list's entry.
    SelectPty();
    W().ListSelect(IDC_SPEED_LIST, 1);
    m_dlg->OnCommand(IDC_MODE);
    EXPECT_TRUE(WaitFor([&] { return m_pty.SlaveSpeed() == 19200; }));
    EXPECT_EQ(g_terminalBaud, 19200);
}

}  // namespace
}  // namespace zelvar
