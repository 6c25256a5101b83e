#include "image_cases.h"

#include <filesystem>

#include "base/flash_map.h"
#include "image/composite_builder.h"
#include "support/image_recipes.h"
#include "support/sim_start.h"

namespace zelvar::test {

namespace {

constexpr std::size_t kPfldCrcOffset = 0x2000;  // the PFLD check word of MakeTestImage
constexpr std::size_t kFwHeader = kFwFileOffset + kSectionStartWord;
constexpr uint32_t kSfldAddress = 0x00020000;
constexpr std::size_t kSfldBesideBytes = 512;

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

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// The good S-record text with line n (0 is the S0 header) replaced by damaged.
std::function<void(const std::string&)> SRecordWith(std::size_t n, const std::string& damaged) {
    return [n, damaged](const std::string& path) {
        std::vector<std::string> lines = GoodSRecordLines();
        lines[n] = damaged;
        WriteFile(path, JoinLines(lines));
    };
}

std::string Line(std::size_t n) {
    return GoodSRecordLines()[n];
}

}  // namespace

// text with its first character replaced (built in place: GCC 12 warns of an overlap in
// the concatenation in Release builds).
static std::string WithFirstChar(std::string text, char first) {
    if (!text.empty()) text[0] = first;
    return text;
}

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
    // A PFLD checksum of 0 passes, but 0 stands for "no verified PFLD section".
    add("PFLD checksum exactly 0", Edited([](auto& i) {
            PutWord(i, 0x100, GetWord(i, 0x100) ^ GetWord(i, kPfldCrcOffset));
            PutWord(i, kPfldCrcOffset, 0);
        }),
        {"PFLD CRC: 0x00000000 PASSED.", "FW CRC: 0x"});
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
    add("S-record: line without the leading S", SRecordWith(1, WithFirstChar(Line(1), 'X')),
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

std::vector<ImageCase> SoundImages() {
    return {
        {"composite image", Edited([](auto&) {}), {"PFLD CRC: 0x", "FW CRC: 0x", kAccepted}},
        {"composite image without an SFLD section",
         Edited([](auto& i) { i.resize(FwEndOffset(i) + 4); }),
         {"SFLD section skipped", kAccepted}},
        {"S-record image at the flash start",
         Text(JoinLines(GoodSRecordLines())),
         {"Image type: Motorola S-Record", kAccepted}},
    };
}

void ProgramCopyTest::SetUp() {
    std::filesystem::copy_file(ZelvarBinary(), program);
    WriteFile(
        dir.File("sfld.hex"),
        MakeSRecordText(kSfldAddress, std::vector<uint8_t>(kSfldBesideBytes, 0x11), kSfldAddress));
}

ZelvarRun ProgramCopyTest::Run(const std::vector<std::string>& args, double limitSeconds) {
    ZelvarOptions options;
    options.args = args;
    options.runtimeDir = runtime.Path();
    options.program = program;
    options.limitSeconds = limitSeconds;
    return RunZelvarWith(options);
}

void ProgramCopyTest::SetSfldBesideProgram(bool present) {
    if (present) {
        std::filesystem::rename(dir.File("sfld-away.hex"), dir.File("sfld.hex"));
    } else {
        std::filesystem::rename(dir.File("sfld.hex"), dir.File("sfld-away.hex"));
    }
}

}  // namespace zelvar::test
