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
#include <functional>
#include <string>
#include <vector>

#include "image/composite_builder.h"
#include "reliability_doc.h"
#include "support/image_recipes.h"
#include "support/test_env.h"
#include "support/zelvar_runner.h"

namespace zelvar::test {
namespace {

constexpr double kQuickSeconds = 5;  // loose: a refusal takes well under a second
constexpr double kLimitSeconds = 20;
constexpr double kFifoLimitSeconds = 8;
constexpr off_t kHugeBytes = off_t{256} << 20;
constexpr off_t kTooLargeBytes = off_t{0x10100000} + 4;
constexpr std::size_t kPfldCrcOffset = 0x2000;  // the PFLD check word of MakeTestImage
constexpr std::size_t kFwHeader = 0x4020;
constexpr std::uintmax_t kSfldTempLimit = 1 << 20;  // an SFLD text is a few hundred KiB at most

struct ImageCase {
    std::string name;
    std::function<void(const std::string& path)> make;
    std::vector<std::string> lines;  // lines inspect must print, in any order
    bool noSfldBesideProgram = false;
};

void PutWord(std::vector<uint8_t>& image, std::size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) image[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetWord(const std::vector<uint8_t>& image, std::size_t offset) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | image[offset + i];
    return value;
}

// The good image, changed by edit and written to the path.
std::function<void(const std::string&)> Edited(std::function<void(std::vector<uint8_t>&)> edit) {
    return [edit](const std::string& path) {
        std::vector<uint8_t> image = MakeTestImage(3);
        edit(image);
        WriteBytes(path, image);
    };
}

std::function<void(const std::string&)> Text(const std::string& text) {
    return [text](const std::string& path) { WriteFile(path, text); };
}

std::size_t FwEndOffset(const std::vector<uint8_t>& image) {
    return GetWord(image, kFwHeader + 4) - kFlashBase;
}

// A good S-record firmware at 0x10000000, as text lines.
std::vector<std::string> GoodSRecordLines() {
    std::vector<uint8_t> data(256);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
    const std::string text = MakeSRecordText(kFlashBase, data, kFlashBase);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// The good S-record text with line n (0 is the S0 header) replaced by damaged.
std::function<void(const std::string&)> SRecordWith(std::size_t n, const std::string& damaged) {
    return [n, damaged](const std::string& path) {
        std::vector<std::string> lines = GoodSRecordLines();
        lines[n] = damaged;
        std::string text;
        for (const std::string& line : lines) text += line + "\n";
        WriteFile(path, text);
    };
}

std::string Line(std::size_t n) {
    return GoodSRecordLines()[n];
}

const char* kFormatError = "Image Format Error (";
const char* kRefused = "Verdict: refused";

std::vector<ImageCase> BrokenImages() {
    std::vector<ImageCase> cases;
    auto add = [&cases](std::string name, std::function<void(const std::string&)> make,
                        std::vector<std::string> lines) {
        lines.push_back(kRefused);
        cases.push_back({std::move(name), std::move(make), std::move(lines)});
    };
    // Truncations, in each section.
    add("empty file", Text(""), {"Image type: Motorola S-Record"});
    add("cut inside the PFLD section (1000 bytes)", Edited([](auto& i) { i.resize(1000); }),
        {"SFLD section skipped", kFormatError});
    add("cut before the FW header (0x4010 bytes)", Edited([](auto& i) { i.resize(0x4010); }),
        {"SFLD section skipped", kFormatError});
    add("cut inside the FW section (0x5000 bytes)", Edited([](auto& i) { i.resize(0x5000); }),
        {"SFLD section skipped", "PFLD CRC: 0x", "FW   section found at: 0x10004000, 0x10008000"});
    add("cut just before the FW check word", Edited([](auto& i) { i.resize(FwEndOffset(i)); }),
        {"SFLD section skipped", "PFLD CRC: 0x", "FW   section found at: 0x10004000, 0x10008000"});
    add("cut inside the SFLD section, no sfld.hex beside the program",
        Edited([](auto& i) { i.resize(FwEndOffset(i) + 4 + 100); }),
        {"SFLD section skipped", "Can not open '"});
    cases.back().noSfldBesideProgram = true;
    // Lengths that are not a multiple of 4 (the composite check refuses them silently).
    for (int extra = 1; extra <= 3; ++extra) {
        add("length 4n+" + std::to_string(extra) + " (bytes appended)",
            Edited([extra](auto& i) { i.resize(i.size() + extra, 0xFF); }),
            {"SFLD section skipped", "Image type: Binary"});
    }
    // Section headers and check words.
    add("PFLD check word wrong", Edited([](auto& i) { i[kPfldCrcOffset] ^= 1; }),
        {"PFLD CRC: 0x", "FW CRC: 0x"});
    add("FW check word wrong", Edited([](auto& i) { i[FwEndOffset(i)] ^= 1; }), {"FW CRC: 0x"});
    add("FW start word not 0x10004000", Edited([](auto& i) { PutWord(i, kFwHeader, 0x10004004); }),
        {"SFLD section skipped", kFormatError});
    add("FW end beyond 1 MiB", Edited([](auto& i) { PutWord(i, kFwHeader + 4, 0x10104000); }),
        {"Incorrect Image"});
    add("PFLD end beyond 16 KiB", Edited([](auto& i) { PutWord(i, 0x24, 0x10004000); }),
        {"Incorrect Image"});
    add("PFLD first word without 0xE5", Edited([](auto& i) { i[3] = 0x00; }),
        {"Incorrect PFLD Image"});
    add("FW first word without 0xE5", Edited([](auto& i) { i[0x4003] = 0x00; }),
        {"Incorrect FW Image"});
    add("SFLD section text damaged (check word recomputed)", Edited([](auto& i) {
            const std::size_t text = FwEndOffset(i) + 4;
            const std::size_t end = i.size() - 4;
            i[text] = 'T';  // the first line no longer starts with "S"
            PutWord(i, end, XorWordsLE(i.data() + text, end - text));
        }),
        {"SFLD section found", "Incorrect SFLD."});
    // Files that are no images at all.
    add("binary noise",
        [](const std::string& path) {
            std::vector<uint8_t> noise(5000);
            for (std::size_t k = 0; k < noise.size(); ++k)
                noise[k] = static_cast<uint8_t>(k * 131 + 17);
            WriteBytes(path, noise);
        },
        {kFormatError});
    // S-record text with every kind of damage in its first data line.
    add("S-record: checksum wrong", SRecordWith(1, Line(1).substr(0, Line(1).size() - 2) + "00"),
        {kFormatError});
    add("S-record: line of 79 characters",
        SRecordWith(1, Line(1) + std::string(79 - Line(1).size(), '0')), {kFormatError});
    add("S-record: line of 300 characters", SRecordWith(1, "S3" + std::string(298, 'F')),
        {kFormatError});
    add("S-record: line without the leading S", SRecordWith(1, Line(1).replace(0, 1, "X")),
        {kFormatError});
    add("S-record: empty line inside", SRecordWith(2, ""), {kFormatError});
    add("S-record: byte count below the address width", SRecordWith(1, "S30310EC"), {kFormatError});
    add("S-record: byte count beyond the line", SRecordWith(1, "S3FF10000000AA"), {kFormatError});
    add("S-record: non-hex digits", SRecordWith(1, "S315G00000" + Line(1).substr(10)),
        {kFormatError});
    add("S-record: odd number of digits", SRecordWith(1, Line(1).substr(0, Line(1).size() - 1)),
        {kFormatError});
    add("S-record: NUL byte inside a line",
        SRecordWith(1, Line(1).substr(0, 6) + std::string(1, '\0') + Line(1).substr(7)),
        {kFormatError});
    add("S-record: data not at 0x10000000",
        Text(MakeSRecordText(0x20000000, std::vector<uint8_t>(64, 1), 0x20000000)),
        {"Image Start address: 0x20000000"});
    add("S-record: no S3 record", Text("S00600004844521B\nS70510000000EA\n"),
        {"Image Start address: 0xFFFFFFFF"});
    return cases;
}

class ImageInput : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::copy_file(ZelvarBinary(), program);
        WriteFile(dir.File("sfld.hex"),
                  MakeSRecordText(0x00020000, std::vector<uint8_t>(512, 0x11), 0x00020000));
    }
    ZelvarRun Inspect(const std::string& image, double limit = kLimitSeconds) {
        ZelvarOptions options;
        options.program = program;
        options.args = {"inspect", image};
        options.runtimeDir = runtime.Path();
        options.limitSeconds = limit;
        return RunZelvarWith(options);
    }
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
    TempDir dir;
    TempDir runtime;
    std::string program = dir.File("zelvar");
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
        if (c.noSfldBesideProgram) std::filesystem::rename(dir.File("sfld.hex"), dir.File("away"));
        const ZelvarRun run = Inspect(path);
        if (c.noSfldBesideProgram) std::filesystem::rename(dir.File("away"), dir.File("sfld.hex"));
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
