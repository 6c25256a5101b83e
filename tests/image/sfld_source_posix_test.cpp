// SFLD sources: the section appended to a composite image, its check word, the private
// temporary file, the fallback to "sfld.hex" beside the program and the messages.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/resource_ids.h"
#include "image/app_directory.h"
#include "image/composite_builder.h"
#include "image/firmware_image.h"
#include "image/sfld_source.h"
#include "support/test_env.h"

namespace zelvar {
namespace {

// XOR of the text as little-endian words, computed apart from the library.
uint32_t CheckWord(const std::string& text) {
    std::string padded = text;
    padded.resize((text.size() + 3) / 4 * 4, '\0');
    uint32_t sum = 0;
    for (std::size_t i = 0; i < padded.size(); i += 4) {
        uint32_t word = 0;
        for (int k = 3; k >= 0; --k) word = word << 8 | static_cast<uint8_t>(padded[i + k]);
        sum ^= word;
    }
    return sum;
}

std::string LE(uint32_t value) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(value >> (8 * i));
    return out;
}

// A composite image without SFLD section (it ends at the FW check word).
std::string BareImage() {
    CompositeImageParts parts;
    parts.pfld.assign(0x100, 0x11);
    parts.fw.assign(0x200, 0x22);
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(BuildCompositeImage(parts, bytes, error)) << error;
    return std::string(bytes.begin(), bytes.end());
}

const std::string kSfldText =
    "S00600004844521B\n"
    "S30910000000DEADBEEFAE\n"
    "S70510000004E6\n";

class SfldSourceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        m_hadRuntime = old != nullptr;
        if (m_hadRuntime) m_oldRuntime = old;
        setenv("XDG_RUNTIME_DIR", m_runtime.Path().c_str(), 1);
    }
    void TearDown() override {
        g_sfldReader.Close();
        if (m_hadRuntime) {
            setenv("XDG_RUNTIME_DIR", m_oldRuntime.c_str(), 1);
        } else {
            unsetenv("XDG_RUNTIME_DIR");
        }
    }
    std::string PrivateDir() const { return m_runtime.File("zelvar"); }
    static std::string TempName(pid_t pid) { return "sfld_tmp-" + std::to_string(pid) + ".hex"; }
    std::string TempFile() const { return PrivateDir() + "/" + TempName(getpid()); }
    std::string WriteImage(const std::string& bytes) {
        const std::string path = m_files.File("image" + std::to_string(m_count++) + ".bin");
        test::WriteFile(path, bytes);
        return path;
    }
    static std::string AppDirectory() {
        char directory[kPathBytes];
        EXPECT_TRUE(GetAppDirectory(directory));
        return directory;
    }
    static std::vector<std::string> Messages(test::WindowFixture& fixture) {
        return fixture.Window().ListItems(IDC_MESSAGE_LIST);
    }

    test::TempDir m_runtime;
    test::TempDir m_files;
    int m_count = 0;
    bool m_hadRuntime = false;
    std::string m_oldRuntime;
};

TEST_F(SfldSourceTest, SectionOfEveryTextLengthIsExtracted) {
    const std::string extra = "S5030001FB";
    const std::vector<std::string> texts = {kSfldText + extra + "\n" + extra, kSfldText + extra,
                                            kSfldText + extra + "\n", kSfldText};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(texts[i].size() % 4, i);  // whole words, then 1, 2 and 3 bytes over
        const std::string path = WriteImage(BareImage() + texts[i] + LE(CheckWord(texts[i])));
        EXPECT_TRUE(ExtractSfldSection(path.c_str())) << i;
        EXPECT_EQ(test::ReadFile(TempFile()), texts[i]);
        // A check word that differs only in a byte beyond the text's end fails too.
        const uint32_t wrong = CheckWord(texts[i]) ^ 0x80000000u;
        EXPECT_FALSE(ExtractSfldSection(WriteImage(BareImage() + texts[i] + LE(wrong)).c_str()));
    }
}

TEST_F(SfldSourceTest, TemporaryFileLivesInAPrivateDirectory) {
    const std::string path = WriteImage(BareImage() + kSfldText + LE(CheckWord(kSfldText)));
    ASSERT_TRUE(ExtractSfldSection(path.c_str()));
    struct stat info;
    ASSERT_EQ(lstat(PrivateDir().c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, geteuid());
    char tempPath[kPathBytes];
    ASSERT_TRUE(GetSfldTempPath(tempPath, sizeof(tempPath)));
    EXPECT_EQ(std::string(tempPath), TempFile());

    // A looser directory of ours is tightened.
    ASSERT_EQ(chmod(PrivateDir().c_str(), 0755), 0);
    ASSERT_TRUE(ExtractSfldSection(path.c_str()));
    ASSERT_EQ(lstat(PrivateDir().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(SfldSourceTest, SymbolicLinksAreNeverFollowed) {
    const std::string path = WriteImage(BareImage() + kSfldText + LE(CheckWord(kSfldText)));
    const std::string victim = m_files.File("victim.txt");
    test::WriteFile(victim, "precious");

    // A link in place of the temporary file.
    ASSERT_EQ(mkdir(PrivateDir().c_str(), 0700), 0);
    ASSERT_EQ(symlink(victim.c_str(), TempFile().c_str()), 0);
    EXPECT_FALSE(ExtractSfldSection(path.c_str()));
    EXPECT_EQ(test::ReadFile(victim), "precious");

    // A link in place of the directory.
    std::filesystem::remove_all(PrivateDir());
    const std::string elsewhere = m_files.File("elsewhere");
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0700), 0);
    ASSERT_EQ(symlink(elsewhere.c_str(), PrivateDir().c_str()), 0);
    EXPECT_FALSE(ExtractSfldSection(path.c_str()));
    EXPECT_FALSE(std::filesystem::exists(elsewhere + "/" + TempName(getpid())));
}

// Two loader processes flashing side by side: each reads back the SFLD of its own
// image, even when the other extracts between its extraction and its reading.
TEST_F(SfldSourceTest, ProcessesSideBySideKeepTheirOwnTemporaryFile) {
    const std::string textA = kSfldText;
    const std::string textB = kSfldText + "S5030001FB\n";
    const std::string imageA = WriteImage(BareImage() + textA + LE(CheckWord(textA)));
    const std::string imageB = WriteImage(BareImage() + textB + LE(CheckWord(textB)));
    int toParent[2];
    int toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        char go = 0;
        bool ok = ExtractSfldSection(imageA.c_str()) && write(toParent[1], "x", 1) == 1 &&
                  read(toChild[0], &go, 1) == 1;
        char path[kPathBytes];
        ok = ok && GetSfldTempPath(path, sizeof path) && test::ReadFile(path) == textA;
        _exit(ok ? 0 : 1);
    }
    char ready = 0;
    ASSERT_EQ(read(toParent[0], &ready, 1), 1);
    EXPECT_TRUE(ExtractSfldSection(imageB.c_str()));  // while the child holds its copy
    ASSERT_EQ(write(toChild[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(test::ReadFile(TempFile()), textB);
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) close(fd);

    // The child has ended: the next extraction removes its file, and keeps the file of
    // a process that still runs (our own parent).
    const std::string childFile = PrivateDir() + "/" + TempName(child);
    const std::string liveFile = PrivateDir() + "/" + TempName(getppid());
    ASSERT_TRUE(std::filesystem::exists(childFile));
    test::WriteFile(liveFile, "in use");
    test::WriteFile(PrivateDir() + "/sfld_tmp-x.hex", "not ours");
    EXPECT_TRUE(ExtractSfldSection(imageA.c_str()));
    EXPECT_FALSE(std::filesystem::exists(childFile));
    EXPECT_EQ(test::ReadFile(liveFile), "in use");
    EXPECT_TRUE(std::filesystem::exists(PrivateDir() + "/sfld_tmp-x.hex"));
    EXPECT_EQ(test::ReadFile(TempFile()), textA);
}

TEST_F(SfldSourceTest, ImagesWithoutASectionAreSkipped) {
    const std::string bare = BareImage();
    EXPECT_FALSE(ExtractSfldSection(WriteImage(bare).c_str()));
    // Sections shorter than their own check word: 1 to 3 bytes after the FW check word.
    for (const char* tail : {"\x01", "\x01\x02", "\x01\x02\x03"}) {
        EXPECT_FALSE(ExtractSfldSection(WriteImage(bare + tail).c_str())) << std::strlen(tail);
    }
    EXPECT_FALSE(ExtractSfldSection(WriteImage(kSfldText).c_str()));  // S-record text
    std::string wrongStart = bare + kSfldText + LE(CheckWord(kSfldText));
    wrongStart[0x4020] = 0x04;
    EXPECT_FALSE(ExtractSfldSection(WriteImage(wrongStart).c_str()));
    // FW end words that put the section before the file start or beyond its end.
    for (uint32_t end : {0x00000000u, 0x0FFFFFF0u, 0x20000000u, 0xFFFFFFFFu}) {
        std::string image = bare + kSfldText + LE(CheckWord(kSfldText));
        image.replace(0x4024, 4, LE(end));
        EXPECT_FALSE(ExtractSfldSection(WriteImage(image).c_str())) << std::hex << end;
    }
    EXPECT_FALSE(ExtractSfldSection(m_files.File("missing.bin").c_str()));
    const std::string longPath(600, 'a');
    EXPECT_FALSE(ExtractSfldSection(longPath.c_str()));
}

TEST_F(SfldSourceTest, MismatchedCheckWordStillWritesTheTemporaryFile) {
    std::string text = kSfldText;
    const std::string path = WriteImage(BareImage() + text + LE(CheckWord(text) ^ 0x100));
    EXPECT_FALSE(ExtractSfldSection(path.c_str()));
    EXPECT_EQ(test::ReadFile(TempFile()), text);
}

TEST_F(SfldSourceTest, LoadSfldUsesTheSectionAndReportsIt) {
    test::WindowFixture fixture;
    const std::string path = WriteImage(BareImage() + kSfldText + LE(CheckWord(kSfldText)));
    ASSERT_TRUE(LoadSfld(path.c_str()));
    EXPECT_EQ(Messages(fixture),
              (std::vector<std::string>{"Opening SFLD ...", "SFLD section found", "Complete"}));
    EXPECT_EQ(g_sfldReader.StartAddress(), 0x10000000u);
    EXPECT_EQ(g_sfldReader.EntryPoint(), 0x10000004u);
    EXPECT_EQ(g_sfldReader.ImageSize(), 0u);
    EXPECT_NE(fixture.LogText().find("Opening SFLD ...\r\nSFLD section found\r\nComplete\r\n"),
              std::string::npos);
}

TEST_F(SfldSourceTest, LoadSfldRejectsTextThatFailsDecoding) {
    test::WindowFixture fixture;
    const std::string text = kSfldText + "\n";  // an empty line at the end
    const std::string path = WriteImage(BareImage() + text + LE(CheckWord(text)));
    EXPECT_FALSE(LoadSfld(path.c_str()));
    EXPECT_EQ(Messages(fixture), (std::vector<std::string>{"Opening SFLD ...", "SFLD section found",
                                                           "Incorrect SFLD."}));
}

// Every test program of the build lives in one directory, so "sfld.hex" beside the
// program is shared. This test therefore runs in a private copy of the program, started
// with kPrivateCopy set; the copy's directory is its own.
constexpr const char* kPrivateCopy = "ZELVAR_IMAGE_TEST_PRIVATE_COPY";

TEST_F(SfldSourceTest, FallsBackToSfldHexBesideTheProgram) {
    if (std::getenv(kPrivateCopy) == nullptr) {
        test::TempDir programDir;
        const std::string copy = programDir.File("test_image");
        std::filesystem::copy_file("/proc/self/exe", copy);
        std::filesystem::permissions(copy, std::filesystem::perms::owner_all);
        const std::string command =
            std::string(kPrivateCopy) + "=1 " + copy +
            " --gtest_filter=SfldSourceTest.FallsBackToSfldHexBesideTheProgram"
            " >" +
            programDir.File("output.txt") + " 2>&1";
        const int status = std::system(command.c_str());
        EXPECT_EQ(status, 0) << test::ReadFile(programDir.File("output.txt"));
        EXPECT_NE(test::ReadFile(programDir.File("output.txt")).find("[  PASSED  ] 1 test"),
                  std::string::npos);
        return;
    }
    const std::string sfldHex = AppDirectory() + "sfld.hex";
    std::filesystem::remove(sfldHex);
    const std::string corrupt = WriteImage(BareImage() + kSfldText + LE(CheckWord(kSfldText) ^ 1));
    {
        test::WindowFixture fixture;
        EXPECT_FALSE(LoadSfld(corrupt.c_str()));
        EXPECT_EQ(Messages(fixture),
                  (std::vector<std::string>{"Opening SFLD ...", "SFLD section skipped"}));
        EXPECT_EQ(fixture.Window().GetText(IDC_STATUS), "Can not open '" + sfldHex + "'");
        EXPECT_NE(fixture.LogText().find("Can not open '" + sfldHex + "'\r\n"), std::string::npos);
    }
    test::WriteFile(sfldHex, "S30910000100DEADBEEFAE\n");  // bad checksum
    {
        test::WindowFixture fixture;
        EXPECT_FALSE(LoadSfld(corrupt.c_str()));
        EXPECT_EQ(Messages(fixture).back(), "Incorrect SFLD.");
    }
    test::WriteFile(sfldHex, "S30910000100DEADBEEFAD\n");
    {
        test::WindowFixture fixture;
        EXPECT_TRUE(LoadSfld(corrupt.c_str()));
        EXPECT_EQ(Messages(fixture), (std::vector<std::string>{
                                         "Opening SFLD ...", "SFLD section skipped", "Complete"}));
        EXPECT_EQ(g_sfldReader.StartAddress(), 0x10000100u);
        EXPECT_EQ(test::ReadFile(TempFile()), kSfldText);  // written, but not used
    }
    std::filesystem::remove(sfldHex);
}

TEST(AppDirectoryTest, IsTheDirectoryOfTheRunningProgram) {
    char directory[kPathBytes];
    ASSERT_TRUE(GetAppDirectory(directory));
    const auto expected = std::filesystem::canonical(ZELVAR_BINARY_DIR "/tests").string() + "/";
    EXPECT_EQ(std::string(directory), expected);

    ASSERT_TRUE(DirectoryOfPath("/prog", directory));
    EXPECT_STREQ(directory, "/");
    ASSERT_TRUE(DirectoryOfPath("/usr/local/bin/zelvar", directory));
    EXPECT_STREQ(directory, "/usr/local/bin/");
    EXPECT_FALSE(DirectoryOfPath("zelvar", directory));
    EXPECT_STREQ(directory, "");
    const std::string deep = "/" + std::string(300, 'd') + "/zelvar";
    EXPECT_FALSE(DirectoryOfPath(deep.c_str(), directory));
    EXPECT_STREQ(directory, "");
}

}  // namespace
}  // namespace zelvar
