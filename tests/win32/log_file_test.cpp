// The log file on Windows: locked against a second writer, emptied only once it is
// ours, every line on storage, and a path in any language.
#include "base/log_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "base/message_log.h"
#include "base/system_error.h"
#include "support/test_env.h"

namespace zelvar {
namespace {

TEST(LogFileWin32, ASecondWriterIsLockedOutAndTheFirstLogSurvives) {
    test::TempDir dir;
    const std::string path = dir.File("Zelvar.txt");
    const LogFileHandle first = OpenLockedLogFile(path.c_str());
    ASSERT_NE(first, kNoLogFile);
    int error = 0;
    ASSERT_TRUE(WriteLogFileDurably(first, "kept\r\n", 6, error));
    EXPECT_EQ(OpenLockedLogFile(path.c_str()), kNoLogFile);
    // Readers may look while it is written.
    EXPECT_EQ(test::ReadFile(path), "kept\r\n");
    CloseLogFileHandle(first);

    // Once it is free again, the next run empties it.
    const LogFileHandle second = OpenLockedLogFile(path.c_str());
    ASSERT_NE(second, kNoLogFile);
    EXPECT_EQ(test::ReadFile(path), "");
    CloseLogFileHandle(second);
}

TEST(LogFileWin32, MessagesReachTheFileWithCrLfUnderAUnicodeDirectory) {
    test::TempDir dir;
    const std::string directory = dir.File(
        "Pr\xC3\xBC"
        "fung\\");  // "Prüfung"
    ASSERT_TRUE(std::filesystem::create_directory(std::filesystem::u8path(directory)));
    test::WindowFixture fixture(false);
    CreateLogFile(directory.c_str());
    ASSERT_TRUE(IsLogFileOpen());
    LogLine("Opening SFLD ...");
    ShowStatus("Complete");
    CloseLogFile();
    const std::filesystem::path file = std::filesystem::u8path(directory + kLogFileName);
    std::ifstream in(file, std::ios::binary);  // the path as UTF-16, not the code page's
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(text.find("\r\nOpening SFLD ...\r\nComplete\r\n"), std::string::npos) << text;
}

TEST(LogFileWin32, NoLogInADirectoryThatIsNotThere) {
    test::TempDir dir;
    test::WindowFixture fixture(false);
    CreateLogFile(dir.File("missing\\").c_str());
    EXPECT_FALSE(IsLogFileOpen());
    EXPECT_EQ(OpenLockedLogFile(dir.File("missing\\Zelvar.txt").c_str()), kNoLogFile);
}

TEST(LogFileWin32, ErrorTextsAreTheSystemsWithoutALineBreak) {
    const std::string text = SystemErrorText(ERROR_DISK_FULL);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_NE(text.back(), '.');
}

}  // namespace
}  // namespace zelvar
