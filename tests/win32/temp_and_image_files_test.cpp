// The private temporary directory, the SFLD's temporary file in it, process ids, and
// image files opened only when they are regular files, in binary.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "image/composite_builder.h"
#include "image/image_file.h"
#include "image/private_directory.h"
#include "image/sfld_source.h"
#include "support/test_env.h"

namespace zelvar {
namespace {

bool IsMarked(const char* name) {
    return std::string(name).rfind("marked-", 0) == 0;
}

TEST(PrivateDirectoryWin32, IsInTheTemporaryDirectoryAndHoldsOurFiles) {
    char directory[512];
    ASSERT_TRUE(GetPrivateDirectory(directory, sizeof directory));
    const std::string path = directory;
    EXPECT_NE(path.find("zelvar\\"), std::string::npos);
    EXPECT_EQ(path.back(), '\\');
    EXPECT_FALSE(GetPrivateDirectory(directory, 4));

    FILE* kept = CreatePrivateFile("kept-test.txt");
    ASSERT_NE(kept, nullptr);
    std::fputs("a\r\nb", kept);
    std::fclose(kept);
    FILE* marked = CreatePrivateFile("marked-test.txt");
    ASSERT_NE(marked, nullptr);
    std::fclose(marked);
    EXPECT_EQ(test::ReadFile(path + "kept-test.txt"), "a\r\nb");  // binary: no CR added

    RemovePrivateFiles(IsMarked);
    EXPECT_FALSE(std::filesystem::exists(path + "marked-test.txt"));
    EXPECT_TRUE(std::filesystem::exists(path + "kept-test.txt"));
    std::filesystem::remove(path + "kept-test.txt");
}

TEST(PrivateDirectoryWin32, ThisProcessRunsAndAnUnknownIdHasEnded) {
    EXPECT_GT(CurrentProcessId(), 0);
    EXPECT_FALSE(HasProcessEnded(CurrentProcessId()));
    EXPECT_TRUE(HasProcessEnded(0x7FFFFFF0L));
}

TEST(SfldSectionWin32, IsCopiedToThisProcesssTemporaryFile) {
    CompositeImageParts parts;
    parts.pfld.assign(0x100, 0x11);
    parts.fw.assign(0x200, 0x22);
    parts.sfld = "S00600004844521B\r\nS30910000000DEADBEEFAE\r\nS70510000004E6\r\n";
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(BuildCompositeImage(parts, bytes, error)) << error;
    test::TempDir dir;
    ASSERT_TRUE(test::WriteBytes(dir.File("image.bin"), bytes));

    ASSERT_TRUE(ExtractSfldSection(dir.File("image.bin").c_str()));
    char temp[512];
    ASSERT_TRUE(GetSfldTempPath(temp, sizeof temp));
    EXPECT_NE(std::string(temp).find("zelvar\\sfld_tmp-"), std::string::npos) << temp;
    // The builder writes its own header record; the records after it are the text's.
    const std::string copied = test::ReadFile(temp);
    EXPECT_EQ(copied.rfind("S0", 0), 0u) << copied;
    EXPECT_NE(copied.find("\r\nS30910000000DEADBEEFAE\r\nS70510000004E6\r\n"), std::string::npos)
        << copied;
    std::filesystem::remove(temp);
}

TEST(ImageFileWin32, OnlyRegularFilesOpenAndAlwaysInBinary) {
    test::TempDir dir;
    EXPECT_EQ(OpenImageFile(dir.Path().c_str(), "rb"), nullptr);
    EXPECT_EQ(OpenImageFile("NUL", "rb"), nullptr);
    EXPECT_EQ(OpenImageFile(dir.File("missing.bin").c_str(), "rb"), nullptr);

    ASSERT_TRUE(test::WriteFile(dir.File("text.s19"), "S0\r\nS9\r\n"));
    FILE* file = OpenImageFile(dir.File("text.s19").c_str(), "r");
    ASSERT_NE(file, nullptr);
    char buffer[16] = {};
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, file), 8u);  // CR LF kept
    EXPECT_TRUE(SeekImageFile(file, 0, SEEK_END));
    EXPECT_EQ(TellImageFile(file), 8);
    std::fclose(file);
}

}  // namespace
}  // namespace zelvar
