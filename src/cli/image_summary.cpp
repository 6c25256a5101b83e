#include "cli/image_summary.h"

#include <cstdio>
#include <memory>

#include "base/flash_map.h"
#include "image/composite_builder.h"
#include "image/image_file.h"

namespace zelvar::cli {

namespace {

// The summary reads at most this much of the SFLD text; a longer one is only counted.
constexpr uint64_t kSfldReadLimit = 4u << 20;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool ReadAt(std::FILE* file, uint64_t offset, uint8_t* out, std::size_t size) {
    if (std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0) return false;
    return std::fread(out, 1, size, file) == size;
}

uint32_t WordAt(std::FILE* file, uint64_t offset) {
    uint8_t bytes[4] = {};
    if (!ReadAt(file, offset, bytes, sizeof bytes)) return 0;
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// The section that belongs at expectedStart, with maxLength bytes of room.
SectionSummary SummariseSection(std::FILE* file, uint64_t fileBytes, uint32_t expectedStart,
                                uint32_t maxLength) {
    const uint32_t offset = expectedStart - kFlashBase;  // a composite image is a flat copy
    SectionSummary section;
    section.start = WordAt(file, offset + kSectionStartWord);
    section.end = WordAt(file, offset + kSectionEndWord);
    section.found = section.start == expectedStart && section.end > section.start &&
                    section.end - section.start < maxLength;
    if (!section.found) return section;
    const uint32_t covered = (section.end - section.start) / 4 * 4;
    const uint64_t available = fileBytes > offset ? fileBytes - offset : 0;
    std::vector<uint8_t> body(std::min<uint64_t>(covered, available));
    if (!ReadAt(file, offset, body.data(), body.size())) return section;
    section.computedWord = XorWordsLE(body.data(), body.size());
    if (offset + uint64_t{covered} + 4 <= fileBytes) {
        section.storedWord = WordAt(file, offset + covered);
        section.whole = true;
    }
    return section;
}

void SummariseSfld(std::FILE* file, CompositeSummary& summary) {
    if (!summary.fw.found) return;
    const uint64_t start = uint64_t{summary.fw.end} - kFlashBase + 4;
    if (summary.fileBytes <= start + 4) return;
    summary.sfldTextBytes = summary.fileBytes - start - 4;
    summary.sfldStoredWord = WordAt(file, summary.fileBytes - 4);
    if (summary.sfldTextBytes > kSfldReadLimit) return;
    std::vector<uint8_t> text(summary.sfldTextBytes);
    if (ReadAt(file, start, text.data(), text.size())) {
        summary.sfldComputedWord = XorWordsLE(text.data(), text.size());
    }
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

std::string DescribeSection(const char* name, const SectionSummary& section) {
    if (!section.found) {
        return std::string(name) + " section: not found (header words " + Hex(section.start) +
               ", " + Hex(section.end) + ")";
    }
    if (!section.whole) {
        return std::string(name) + " section: " + Hex(section.start) + " to " + Hex(section.end) +
               ", the file ends inside it";
    }
    const bool matches = section.storedWord == section.computedWord;
    return std::string(name) + " section: " + Hex(section.start) + " to " + Hex(section.end) +
           ", " + std::to_string(section.end - section.start) + " bytes, check word " +
           Hex(section.storedWord) +
           (matches ? " (matches)"
                    : " (computed " + Hex(section.computedWord) + ", does not match)");
}

}  // namespace

bool SummariseComposite(const char* path, CompositeSummary& summary) {
    FilePtr file(OpenImageFile(path, "rb"));
    if (!file) return false;
    if (std::fseek(file.get(), 0, SEEK_END) != 0) return false;
    const long size = std::ftell(file.get());
    if (size < 0) return false;
    summary = CompositeSummary{};
    summary.fileBytes = static_cast<uint64_t>(size);
    summary.pfld = SummariseSection(file.get(), summary.fileBytes, kFlashBase, kPfldSectionBytes);
    summary.fw = SummariseSection(file.get(), summary.fileBytes, kFwBase, kFwSectionBytes);
    SummariseSfld(file.get(), summary);
    return true;
}

std::vector<std::string> DescribeComposite(const CompositeSummary& summary) {
    std::vector<std::string> lines;
    lines.push_back("File: " + std::to_string(summary.fileBytes) + " bytes");
    lines.push_back(DescribeSection("PFLD", summary.pfld));
    lines.push_back(DescribeSection("FW", summary.fw));
    if (summary.sfldTextBytes == 0) {
        lines.push_back("SFLD section: none (sfld.hex beside the program is used)");
    } else {
        const bool matches = summary.sfldStoredWord == summary.sfldComputedWord;
        lines.push_back(
            "SFLD section: " + std::to_string(summary.sfldTextBytes) +
            " bytes of S-record text, check word " + Hex(summary.sfldStoredWord) +
            (matches ? " (matches)"
                     : " (computed " + Hex(summary.sfldComputedWord) + ", does not match)"));
    }
    return lines;
}

}  // namespace zelvar::cli
