#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "base/message_log.h"
#include "base/resource_ids.h"
#include "base/shared_state.h"
#include "test_env.h"

namespace zelvar {
namespace {

using test::ReadFile;
using test::WindowFixture;

const std::string kHeader = "GPS firmware loader 1.1.2\r\n";

TEST(MessageLog, ListKeepsLastThirtyLinesAndFileKeepsAll) {
    WindowFixture fx;
    std::string expected = kHeader;
    for (int i = 1; i <= 31; ++i) {
        std::string line = "line " + std::to_string(i);
        LogLine(line.c_str());
        expected += line + "\r\n";
    }
    std::vector<std::string> items = fx.Window().ListItems(IDC_MESSAGE_LIST);
    ASSERT_EQ(items.size(), 30u);
    EXPECT_EQ(items.front(), "line 2");
    EXPECT_EQ(items.back(), "line 31");
    EXPECT_EQ(fx.Window().ListSelection(IDC_MESSAGE_LIST), 29);
    EXPECT_EQ(fx.LogText(), expected);
}

TEST(MessageLog, StatusGoesToFileInOrderButNotToList) {
    WindowFixture fx;
    LogLine("first");
    ShowStatus("a status");
    LogLine("");
    ShowStatus("");
    EXPECT_EQ(fx.Window().GetText(IDC_STATUS), "");
    EXPECT_EQ(fx.Window().ListItems(IDC_MESSAGE_LIST), (std::vector<std::string>{"first", ""}));
    EXPECT_EQ(fx.LogText(), kHeader + "first\r\na status\r\n\r\n\r\n");
}

// The switch a dialog registers, recording what it was asked and what the list held.
std::vector<std::pair<bool, int>> g_switches;
void RecordSwitch(IMainWindow& window, bool enable) {
    g_switches.emplace_back(enable, window.ListCount(IDC_MESSAGE_LIST));
}

TEST(MessageLog, JobControlsReportVerdictOnlyAtTheEnd) {
    WindowFixture fx;
    CHeadlessWindow& w = fx.Window();
    g_switches.clear();
    SetJobControlsSwitch(RecordSwitch);
    SetJobControls(false, false);
    EXPECT_EQ(w.ListCount(IDC_MESSAGE_LIST), 0);
    EXPECT_EQ(fx.LogText(), kHeader);

    g_uploadBusy = true;
    SetJobControls(true, true);
    EXPECT_FALSE(g_uploadBusy);
    SetJobControlsSwitch(nullptr);  // no dialog: only the verdict
    SetJobControls(true, false);
    EXPECT_EQ(w.ListItems(IDC_MESSAGE_LIST),
              (std::vector<std::string>{"Upload complete", "Upload failed"}));
    // The controls are switched before the verdict is said.
    EXPECT_EQ(g_switches, (std::vector<std::pair<bool, int>>{{false, 0}, {true, 0}}));
}

TEST(MessageLog, LongTextsAreCutAtTheirLimits) {
    WindowFixture fx;
    std::string longText(600, 'x');
    WriteLogLine(longText.c_str());
    // 199 characters of a multi-byte text, never half a character.
    std::string umlauts;
    for (int i = 0; i < 250; ++i) umlauts += "\xC3\xA4";
    LogAnsiLine(umlauts.c_str());
    std::string shown = fx.Window().ListItem(IDC_MESSAGE_LIST, 0);
    EXPECT_EQ(shown.size(), 199u * 2);
    // A message longer than a log line loses its last whole characters there, not half
    // of one: 255 two-byte characters are 510 bytes.
    const std::string longUmlauts = umlauts + umlauts;
    LogLine(longUmlauts.c_str());
    EXPECT_EQ(fx.Window().ListItem(IDC_MESSAGE_LIST, 1), longUmlauts);
    std::string log = fx.LogText();
    EXPECT_EQ(log, kHeader + std::string(511, 'x') + "\r\n" + shown + "\r\n" +
                       longUmlauts.substr(0, 510) + "\r\n");
}

TEST(MessageLog, UnusableDirectoryLeavesNoLogAndNoError) {
    test::TempDir dir;
    test::WriteFile(dir.File("plain"), "not a directory");
    auto window = std::make_shared<CHeadlessWindow>();
    SetMainWindow(window);
    CreateLogFile(dir.File("plain/").c_str());
    EXPECT_FALSE(IsLogFileOpen());
    LogLine("still shown");
    EXPECT_EQ(window->ListItem(IDC_MESSAGE_LIST, 0), "still shown");
    EXPECT_TRUE(window->Questions().empty());
    SetMainWindow(nullptr);
}

TEST(MessageLog, SecondWriterIsLockedOutAndFirstLogSurvives) {
    WindowFixture fx;
    LogLine("kept");
    std::string before = fx.LogText();
    // Another copy of the program must neither get the log nor empty it.
    pid_t child = fork();
    if (child == 0) {
        CreateLogFile(fx.Dir().Path().c_str());
        _exit(IsLogFileOpen() ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "second writer got the log file";
    EXPECT_EQ(fx.LogText(), before);
}

// In a child with a file size limit, so that the log's writes fail part way through.
int WriteLinesPastAFullLog(const std::string& logPath, CHeadlessWindow& window) {
    std::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
    const rlimit limit{100, 100};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
    for (int i = 0; i < 10; ++i) LogLine(("line " + std::to_string(i) + " of the job").c_str());
    const std::string shown = "Cannot write the log file " + logPath + " (" + std::strerror(EFBIG) +
                              "); lines are missing from it.";
    const std::vector<std::string> items = window.ListItems(IDC_MESSAGE_LIST);
    if (std::count(items.begin(), items.end(), shown) != 1) return 11;         // said once
    if (items.size() != 11 || items.back() != "line 9 of the job") return 12;  // job goes on
    const std::string log = ReadFile(logPath);
    if (log.size() > 100 || log.find("line 0 of the job\r\n") == std::string::npos) return 13;
    // The note follows the first line the log could not take.
    const auto note = std::find(items.begin(), items.end(), shown);
    if (note == items.begin() || log.find(*(note - 1) + "\r\n") != std::string::npos) return 14;
    if (log.find(*(note - 2) + "\r\n") == std::string::npos) return 15;
    return 0;
}

TEST(MessageLog, AFailedLogWriteIsSaidOnceAndEveryReportStillShows) {
    WindowFixture fx;
    pid_t child = fork();
    if (child == 0) _exit(WriteLinesPastAFullLog(fx.LogPath(), fx.Window()));
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "see WriteLinesPastAFullLog for the code";
}

TEST(MessageLog, ReportsFromAnotherThreadAndAfterTheWindowIsGone) {
    WindowFixture fx;
    std::thread worker([] {
        for (int i = 0; i < 100; ++i) LogLine("from worker");
    });
    for (int i = 0; i < 100; ++i) ShowStatus("from dialog");
    worker.join();
    EXPECT_EQ(fx.Window().ListCount(IDC_MESSAGE_LIST), 30);
    SetMainWindow(nullptr);
    LogLine("dropped from the list");  // no window: no crash, still logged
    ShowStatus("status without window");
    SetJobControls(true, true);
    std::string log = fx.LogText();
    EXPECT_NE(log.find("dropped from the list\r\n"), std::string::npos);
    EXPECT_NE(log.find("Upload complete\r\n"), std::string::npos);
}

}  // namespace
}  // namespace zelvar
