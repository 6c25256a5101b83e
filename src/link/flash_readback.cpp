// Reads the receiver's flash words back, one word per query, and fills the section
// records from their headers, checksum words and version texts.
#include <cstdio>
#include <cstring>

#include "link/receiver_queries.h"
#include "link/version_parse.h"

namespace zelvar {

namespace {

constexpr uint32_t kVersionAreaBytes = 32;  // version text before the checksum word
constexpr int kQueryBytes = 32;

// Sends one memory read in the form the receiver's state calls for and returns the
// reply's address field, or nullptr when no reply came.
const char* QueryWord(uint32_t address, PortHandle handle) {
    char query[kQueryBytes];
    if (g_pflDetected) {
        std::snprintf(query, sizeof query, "$R%X\r\n", address);
        WritePortText(handle, query, 0);
        const char* line = WaitForReply(handle, "R", true);
        return line == nullptr ? nullptr : line + 1;
    }
    std::snprintf(query, sizeof query, "$PQRXQ,RDM,%X\r\n", address);
    WritePortText(handle, query, 0);
    const char* line = WaitForReply(handle, "$PQRXR,RDM,", false);
    if (line == nullptr) return nullptr;
    const char* comma = std::strchr(line, ',');
    comma = std::strchr(comma + 1, ',');
    return comma + 1;
}

// Lays the words from end - 32 to end out in scratch, least significant byte first.
void ReadVersionArea(uint32_t end, uint8_t* scratch, PortHandle handle) {
    uint32_t address = end - kVersionAreaBytes;
    for (int i = 0; i < kVersionWords; ++i, address += 4) {
        const uint32_t word = ReadReceiverWord(address, handle);
        for (int b = 0; b < 4; ++b) scratch[i * 4 + b] = static_cast<uint8_t>(word >> (8 * b));
    }
}

void ReadLoaderVersion(uint32_t end, FlashSectionInfo& info, PortHandle handle) {
    uint8_t scratch[kVersionScratchBytes] = {};
    ReadVersionArea(end, scratch, handle);
    ParseLoaderVersion(scratch, info);
}

void ReadMainVersion(FlashSectionInfo& info, PortHandle handle) {
    WritePortText(handle, "$PQRXQ,RID\r\n", 0);
    const char* line = WaitForReply(handle, "$PQRXR,RID,", false);
    if (line != nullptr) ParseMainVersion(line, info);
}

}  // namespace

uint32_t ReadReceiverWord(uint32_t address, PortHandle handle) {
    const char* field = QueryWord(address, handle);
    if (field == nullptr) return kWordReadFailed;
    uint32_t echoed = 0;
    if (!ParseHexWord(field, echoed) || echoed != address) return kWordReadFailed;
    const char* separator = std::strpbrk(field, ",:");
    uint32_t value = 0;
    if (separator == nullptr || !ParseHexWord(separator + 1, value)) return kWordReadFailed;
    return value;
}

int ReadFlashSection(uint32_t start, uint32_t limit, FlashSectionInfo& info, PortHandle handle) {
    if (ReadReceiverWord(start + kSectionStartWord, handle) != start) return 0;
    info.start = start;
    const uint32_t end = ReadReceiverWord(start + kSectionEndWord, handle);
    if (!(start < end && end < limit)) return 0;
    info.length = end - start;
    info.crc = ReadReceiverWord(end, handle);
    if (start == kFlashBase) {
        ReadLoaderVersion(end, info, handle);
    } else {
        ReadMainVersion(info, handle);
    }
    return 1;
}

}  // namespace zelvar
