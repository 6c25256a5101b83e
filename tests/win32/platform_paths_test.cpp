// The Windows side of the paths: UTF-8 text at every Windows call, the program's and
// the working directory, full paths, the state directory of the log and writability.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/log_location.h"
#include "base/wide_text.h"
#include "image/app_directory.h"
#include "support/test_env.h"

namespace zelvar {
namespace {

TEST(WideText, Utf8RoundTripsThroughUtf16) {
    const char* text = "Zelvar \xC3\x9C \xE6\x9D\xB1\xE4\xBA\xAC";  // "Zelvar Ü 東京"
    const std::wstring wide = WideFromUtf8(text);
    EXPECT_EQ(wide, std::wstring(L"Zelvar \u00DC \u6771\u4EAC"));
    EXPECT_EQ(Utf8FromWide(wide.c_str()), text);
    EXPECT_EQ(Utf8FromWide(wide.c_str(), 6), "Zelvar");
    // Not UTF-8: nothing, rather than a different name.
    EXPECT_TRUE(WideFromUtf8("bad \xC3").empty());
    EXPECT_TRUE(WideFromUtf8("").empty());
    EXPECT_TRUE(WideFromUtf8(nullptr).empty());
}

TEST(ProgramPaths, DirectoryOfPathTakesEitherSeparator) {
    char out[kPathBytes];
    ASSERT_TRUE(DirectoryOfPath("C:\\Tools\\Zelvar\\zelvar.exe", out));
    EXPECT_STREQ(out, "C:\\Tools\\Zelvar\\");
    ASSERT_TRUE(DirectoryOfPath("C:/Tools\\Zelvar/zelvar.exe", out));
    EXPECT_STREQ(out, "C:/Tools\\Zelvar/");
    ASSERT_TRUE(DirectoryOfPath("C:\\Tools/Zelvar\\zelvar.exe", out));
    EXPECT_STREQ(out, "C:\\Tools/Zelvar\\");
    EXPECT_FALSE(DirectoryOfPath("zelvar.exe", out));
    EXPECT_STREQ(out, "");
    const std::string deep = "C:\\" + std::string(kPathBytes, 'a') + "\\zelvar.exe";
    EXPECT_FALSE(DirectoryOfPath(deep.c_str(), out));
}

TEST(ProgramPaths, AppAndWorkingDirectoriesEndInASeparatorAndExist) {
    char app[kPathBytes];
    ASSERT_TRUE(GetAppDirectory(app));
    EXPECT_EQ(std::string(app).back(), '\\');
    EXPECT_TRUE(PathExists((std::string(app) + "test_win32.exe").c_str())) << app;

    char working[kPathBytes];
    ASSERT_TRUE(GetWorkingDirectory(working));
    EXPECT_EQ(std::string(working).back(), '\\');
    EXPECT_TRUE(PathExists(working));
    EXPECT_FALSE(PathExists((std::string(working) + "no such file.txt").c_str()));
}

TEST(LogLocation, ResolvedPathsAndWritableDirectories) {
    test::TempDir dir;
    EXPECT_FALSE(ResolvedPath(dir.Path()).empty());
    // A directory named with and without its separator is the same directory.
    EXPECT_EQ(ResolvedPath(dir.Path()), ResolvedPath(dir.Path().substr(0, dir.Path().size() - 1)));
    EXPECT_EQ(ResolvedPath(dir.File("missing")), "");

    EXPECT_TRUE(IsWritableDirectory(dir.Path()));
    EXPECT_FALSE(IsWritableDirectory(dir.File("missing\\")));
    // The check leaves nothing behind.
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(LogLocation, StateDirectoryIsInLocalAppData) {
    test::TempDir dir;
    const wchar_t* old = _wgetenv(L"LOCALAPPDATA");
    const std::wstring saved = old != nullptr ? old : L"";
    const std::string base = dir.Path().substr(0, dir.Path().size() - 1);
    ASSERT_EQ(_wputenv_s(L"LOCALAPPDATA", WideFromUtf8(base.c_str()).c_str()), 0);
    const std::string state = StateLogDirectory();
    EXPECT_EQ(state, base + "\\zelvar\\");
    EXPECT_TRUE(std::filesystem::is_directory(state));
    // A writable program directory keeps the log beside the program.
    EXPECT_EQ(ChooseLogDirectory(dir.Path(), "C:\\elsewhere\\"), dir.Path());
    // Unless the installer put the program there, wherever that was.
    test::TempDir installed;
    ASSERT_TRUE(test::WriteFile(installed.File(ZELVAR_UNINSTALLER), "MZ"));
    EXPECT_TRUE(IsWritableDirectory(installed.Path()));
    EXPECT_EQ(ChooseLogDirectory(installed.Path(), "C:\\elsewhere\\"), state);

    ASSERT_EQ(_wputenv_s(L"LOCALAPPDATA", L""), 0);
    EXPECT_EQ(StateLogDirectory(), "");
    EXPECT_NE(LogProblemText("").find("LOCALAPPDATA"), std::string::npos);
    _wputenv_s(L"LOCALAPPDATA", saved.c_str());
}

}  // namespace
}  // namespace zelvar
