#include "cli/image_summary.h"

#include <cstdint>
#include <cstdio>
#include <memory>

#include "base/flash_map.h"
#include "image/composite_builder.h"
#include "image/composite_layout.h"
#include "image/image_file.h"

namespace zelvar::cli {

namespace {

// The summary reads at most this much of the SFLD text; a longer one is only counted.
constexpr uint64_t kSfldReadLimit = 4u << 20;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The section that belongs at expectedStart, with maxLength bytes of room.
SectionSummary SummariseSection(std::FILE* file, uint32_t expectedStart, uint32_t maxLength) {
    const uint32_t offset = expectedStart - kFlashBase;  // a composite image is a flat copy
    SectionSummary section;
    ReadSectionHeader(file, offset, section.start, section.end);
    section.found = HeaderFits(section.start, section.end, expectedStart, maxLength);
    if (!section.found) return section;
    const SectionSum sum = SumSection(file, offset, section.end - section.start);
    section.computedWord = sum.computed;
    section.storedWord = sum.stored;
    section.whole = sum.whole;
    return section;
}

void SummariseSfld(std::FILE* file, CompositeSummary& summary) {
    int64_t start = 0;
    int64_t length = 0;
    if (!summary.fw.found || !LocateSfldSection(file, INT64_MAX, start, length)) return;
    if (length <= 4) return;  // a check word with no text before it
    summary.sfldTextBytes = static_cast<uint64_t>(length - 4);
    if (!SeekImageFile(file, start + length - 4, SEEK_SET) ||
        !ReadWordLE(file, summary.sfldStoredWord) || summary.sfldTextBytes > kSfldReadLimit) {
        return;
    }
    std::vector<uint8_t> text(summary.sfldTextBytes);
    if (SeekImageFile(file, start, SEEK_SET) &&
        std::fread(text.data(), 1, text.size(), file) == text.size()) {
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
    const int64_t size = ImageFileBytes(file.get());
    if (size < 0) return false;
    summary = CompositeSummary{};
    summary.fileBytes = static_cast<uint64_t>(size);
    summary.pfld = SummariseSection(file.get(), kFlashBase, kPfldSectionBytes);
    summary.fw = SummariseSection(file.get(), kFwBase, kFwSectionBytes);
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
