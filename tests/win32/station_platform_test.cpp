// The station's Windows parts: the workers' command lines, their pool (with cmd.exe as a
// stand-in worker), its files and its time stamps.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <regex>

#include "base/wide_text.h"
#include "cli/station/com_port_names.h"
#include "cli/station/local_time.h"
#include "cli/station/station_files.h"
#include "cli/station/worker_pool.h"
#include "cli/station/worker_spawn_win32.h"
#include "support/test_env.h"

namespace zelvar::cli {
namespace {

constexpr int kPollMs = 50;
constexpr double kGiveUpSeconds = 60;  // far beyond what cmd.exe needs
constexpr int kStalledSeconds = 60;    // a worker that would outlive the test

TEST(StationWin32, CommandLinesSplitBackIntoTheArguments) {
    const std::vector<std::string> arguments = {
        "flash",    "a b", "he said \"hi\"", "C:\\dir with space\\",
        "back\\\\", "",    "\\\\srv\\x",     "Zürich"};
    const std::wstring line = WindowsCommandLine("C:\\Program Files\\zelvar.exe", arguments);
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(line.c_str(), &count);
    ASSERT_NE(split, nullptr);
    std::vector<std::string> back;
    for (int i = 0; i < count; ++i) back.push_back(Utf8FromWide(split[i]));
    LocalFree(split);
    ASSERT_EQ(back.size(), arguments.size() + 1);
    EXPECT_EQ(back[0], "C:\\Program Files\\zelvar.exe");
    EXPECT_EQ(std::vector<std::string>(back.begin() + 1, back.end()), arguments);
}

struct Collected : IWorkerListener {
    std::map<int, std::vector<std::string>> out, err;
    std::map<int, int> ended;
    void OnWorkerLine(int unit, bool fromStderr, const std::string& line) override {
        (fromStderr ? err : out)[unit].push_back(line);
    }
    void OnWorkerEnd(int unit, int status) override { ended[unit] = status; }
};

void PollUntilEnded(CWorkerPool& pool, Collected& seen, int unit) {
    const auto start = std::chrono::steady_clock::now();
    while (seen.ended.count(unit) == 0 && std::chrono::steady_clock::now() - start <
                                              std::chrono::duration<double>(kGiveUpSeconds)) {
        pool.Poll(kPollMs, false, seen);
    }
}

std::string CommandShell() {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    return Utf8FromWide(system) + "\\cmd.exe";
}

TEST(StationWin32, WorkersAreReadApartAndAStalledOneHoldsUpNone) {
    CWorkerPool pool;
    Collected seen;
    std::string error;
    const std::string shell = CommandShell();
    const std::string stall = "ping -n " + std::to_string(kStalledSeconds) + " 127.0.0.1 >NUL";
    ASSERT_TRUE(pool.Start(0, shell, {"/c", stall}, error)) << error;
    ASSERT_TRUE(pool.Start(1, shell, {"/c", "echo one& echo two 1>&2& exit 7"}, error)) << error;
    PollUntilEnded(pool, seen, 1);
    ASSERT_EQ(seen.ended.count(1), 1u);
    EXPECT_EQ(seen.ended[1], 7);
    EXPECT_EQ(seen.out[1], std::vector<std::string>{"one"});
    EXPECT_EQ(seen.err[1], std::vector<std::string>{"two "});
    EXPECT_EQ(pool.Running(), 1u);

    pool.KillAll();
    PollUntilEnded(pool, seen, 0);
    EXPECT_EQ(seen.ended[0], 137);
    EXPECT_FALSE(pool.Start(2, shell + ".missing", {}, error));
    EXPECT_NE(error.find("cannot start"), std::string::npos);
}

TEST(StationWin32, FilesAreMadeOnceReplacedWholeAndReadInChunks) {
    test::TempDir dir;
    const std::string path = dir.File("unit.txt");
    std::string error;
    EXPECT_EQ(CreateNewFile(path, error), NewFile::kCreated) << error;
    EXPECT_EQ(CreateNewFile(path, error), NewFile::kTaken);
    EXPECT_EQ(CreateNewFile(dir.File("missing\\unit.txt"), error), NewFile::kFailed);

    const std::string report = dir.File("units.csv");
    ASSERT_TRUE(ReplaceFileWhole(report, "old", error)) << error;
    ASSERT_TRUE(ReplaceFileWhole(report, "new,\r\nrecord", error)) << error;
    std::string read;
    ASSERT_TRUE(ReadFileInChunks(
        report, 3, [&read](const uint8_t* data, std::size_t n) { read.append(data, data + n); },
        error));
    EXPECT_EQ(read, "new,\r\nrecord");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);

    EXPECT_EQ(CheckFileCanBeWritten(report), "");
    EXPECT_EQ(CheckFileCanBeWritten(dir.Path()), dir.Path() + ": Is a directory");
    EXPECT_NE(CheckFileCanBeWritten(dir.File("missing\\units.csv")), "");
    EXPECT_EQ(DirectoryPrefix("logs"), "logs\\");
    EXPECT_EQ(DirectoryPrefix("logs/"), "logs/");
    EXPECT_EQ(FileNameOf("C:\\fw\\dir/FW.bin"), "FW.bin");
}

TEST(StationWin32, PortNamesAndTimeStamps) {
    EXPECT_EQ(ComNameOf("com5"), "COM5");
    EXPECT_EQ(ComNameOf("\\\\.\\COM12"), "COM12");
    EXPECT_EQ(ComNameOf("GPS2:"), "COM2");
    const std::string stamp = LocalIsoTime(1765300000);
    EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d{4})")))
        << stamp;
}

}  // namespace
}  // namespace zelvar::cli
