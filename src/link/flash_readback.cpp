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
constexpr const char* kNormalReply = "$PQRXR,RDM,";
constexpr const char* kLoaderReply = "R";

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

PortResult SendWordQuery(uint32_t address, PortHandle handle) {
    char query[kQueryBytes];
    std::snprintf(query, sizeof query, g_pflDetected ? "$R%X\r\n" : "$PQRXQ,RDM,%X\r\n", address);
    return WritePortText(handle, query, 0);
}

bool AwaitWordReply(PortHandle handle, uint32_t& address, uint32_t& value) {
    const bool loader = g_pflDetected;
    const char* line = WaitForReply(handle, loader ? kLoaderReply : kNormalReply, loader);
    if (line == nullptr) return false;
    // The address field follows the "R", or the second comma of the normal reply.
    const char* field = line + 1;
    if (!loader) {
        field = std::strchr(std::strchr(line, ',') + 1, ',') + 1;
    }
    if (!ParseHexWord(field, address)) return false;
    const char* separator = std::strpbrk(field, ",:");
    return separator != nullptr && ParseHexWord(separator + 1, value);
}

uint32_t ReadReceiverWord(uint32_t address, PortHandle handle) {
    SendWordQuery(address, handle);
    uint32_t echoed = 0;
    uint32_t value = 0;
    if (!AwaitWordReply(handle, echoed, value) || echoed != address) return kWordReadFailed;
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
