// Images of every broken shape handed to `zelvar inspect`: each is refused (exit 3) with
// the preparation's own lines, quickly, and a huge file is never read (or copied) whole.
// zelvar runs from a private copy with an "sfld.hex" beside it, so that images without a
// usable SFLD section reach the image checks too.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "image_cases.h"
#include "reliability_doc.h"
#include "support/image_recipes.h"
#include "support/sim_start.h"

namespace zelvar::test {
namespace {

constexpr double kQuickSeconds = 5;  // loose: a refusal takes well under a second
constexpr double kFifoLimitSeconds = 8;
constexpr off_t kHugeBytes = off_t{256} << 20;
constexpr off_t kTooLargeBytes = off_t{0x10100000} + 4;
constexpr std::uintmax_t kSfldTempLimit = 1 << 20;  // an SFLD text is a few hundred KiB at most

class ImageInput : public ProgramCopyTest {
  protected:
    // The largest SFLD temporary file the runs left in their private directory.
    std::uintmax_t SfldTempBytes() {
        std::error_code ec;
        std::uintmax_t largest = 0;
        for (const auto& entry : std::filesystem::directory_iterator(runtime.File("zelvar"), ec)) {
            if (entry.path().filename().string().rfind("sfld_tmp", 0) != 0) continue;
            largest = std::max(largest, entry.file_size(ec));
        }
        return largest;
    }
};

bool PrintedLineStarting(const std::string& out, const std::string& start) {
    std::size_t from = 0;
    while (from < out.size()) {
        std::size_t end = out.find('\n', from);
        if (end == std::string::npos) end = out.size();
        if (out.compare(from, start.size(), start) == 0) return true;
        from = end + 1;
    }
    return false;
}

TEST_F(ImageInput, BrokenImagesAreRefusedWithThePreparationsLinesQuickly) {
    const ZelvarRun good = [&] {
        WriteBytes(dir.File("good.bin"), MakeTestImage(3));
        return Inspect(dir.File("good.bin"));
    }();
    ASSERT_EQ(good.exitCode, 0) << good.out << good.err;

    std::vector<TableRow> rows;
    for (const ImageCase& c : BrokenImages()) {
        const std::string path = dir.File("broken.img");
        std::filesystem::remove(path);
        c.make(path);
        if (c.noSfldBesideProgram) SetSfldBesideProgram(false);
        const ZelvarRun run = Inspect(path);
        if (c.noSfldBesideProgram) SetSfldBesideProgram(true);
        EXPECT_EQ(run.exitCode, 3) << c.name << "\n" << run.out << run.err;
        EXPECT_LT(run.seconds, kQuickSeconds) << c.name;
        std::string shown;
        for (const std::string& line : c.lines) {
            EXPECT_TRUE(PrintedLineStarting(run.out, line))
                << c.name << ": no line \"" << line << "\"\n"
                << run.out;
            if (line != kRefused)
                shown +=
                    (shown.empty() ? "" : ", ") +
                    ("\"" + line + (line.back() == '(' || line.back() == 'x' ? "...\"" : "\""));
        }
        rows.push_back({c.name, "exit 3" + (shown.empty() ? std::string() : ", " + shown)});
    }
    const std::string diff =
        CheckDocSection("image-inputs", MarkdownTable({"Image", "Refusal"}, rows));
    EXPECT_TRUE(diff.empty()) << diff;
}

TEST_F(ImageInput, SoundImagesAreAcceptedWithTheirLines) {
    for (const ImageCase& c : SoundImages()) {
        const std::string path = dir.File("sound.img");
        c.make(path);
        const ZelvarRun run = Inspect(path);
        EXPECT_EQ(run.exitCode, 0) << c.name << "\n" << run.out << run.err;
        for (const std::string& line : c.lines) {
            EXPECT_TRUE(PrintedLineStarting(run.out, line))
                << c.name << ": no line \"" << line << "\"\n"
                << run.out;
        }
    }
}

// A huge sparse file: a good image followed by zeros up to 256 MiB. Its SFLD section
// would be the whole tail; it must be refused without the tail being read or copied.
TEST_F(ImageInput, AHugeSparseImageIsHandledWithoutBeingCopiedWhole) {
    const std::string path = dir.File("huge.bin");
    WriteBytes(path, MakeTestImage(3));
    ASSERT_EQ(truncate(path.c_str(), kHugeBytes), 0);
    const ZelvarRun run = Inspect(path);
    // Its sections are sound and only the FW end is ever sent; the zero tail is no SFLD
    // section (and is not copied), so the "sfld.hex" beside the program serves.
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_TRUE(PrintedLineStarting(run.out, "SFLD section skipped")) << run.out;
    EXPECT_LT(run.seconds, kQuickSeconds);
    EXPECT_LT(SfldTempBytes(), kSfldTempLimit) << "the SFLD temporary file took the whole tail";
}

TEST_F(ImageInput, FilesLargerThanTheFlashAndZeroFilesAreRefused) {
    const std::string path = dir.File("zeros.bin");
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, kTooLargeBytes), 0);
    close(fd);
    const ZelvarRun run = Inspect(path);
    EXPECT_EQ(run.exitCode, 3) << run.out << run.err;
    EXPECT_TRUE(PrintedLineStarting(run.out, kFormatError)) << run.out;
    EXPECT_LT(run.seconds, kQuickSeconds);
}

// Paths that name no readable image. The tests run as root, for whom file modes do not
// stop a read, so unreadable files are made of what no mode makes readable.
TEST_F(ImageInput, PathsThatNameNoImageAreRefused) {
    std::filesystem::create_directory(dir.File("a-directory"));
    std::filesystem::create_symlink(dir.File("nowhere"), dir.File("dangling"));
    const std::vector<std::pair<std::string, std::string>> paths = {
        {dir.File("missing.bin"), "File open error ("},
        {dir.File("dangling"), "File open error ("},
        {dir.File("a-directory"), ""},
        {"/dev/zero", "File open error ("},  // only regular files are images
        {std::string(300, 'a'), ""},
    };
    for (const auto& [path, line] : paths) {
        const ZelvarRun run = Inspect(path);
        EXPECT_EQ(run.exitCode, 3) << path << "\n" << run.out << run.err;
        EXPECT_LT(run.seconds, kQuickSeconds) << path;
        if (!line.empty()) {
            EXPECT_TRUE(PrintedLineStarting(run.out, line)) << path << "\n" << run.out;
        }
    }
}

// A FIFO with no writer: opening it for reading would wait for a writer for ever.
TEST_F(ImageInput, AFifoWithoutWriterDoesNotHangInspect) {
    const std::string path = dir.File("fifo");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const ZelvarRun run = Inspect(path, kFifoLimitSeconds);
    EXPECT_FALSE(run.overLimit) << "zelvar inspect still waited after " << kFifoLimitSeconds
                                << " s";
    EXPECT_EQ(run.exitCode, 3) << run.out << run.err;
}

}  // namespace
}  // namespace zelvar::test
