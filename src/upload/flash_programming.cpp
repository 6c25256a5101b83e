#include "upload/flash_programming.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "base/loader_events.h"
#include "base/message_log.h"
#include "base/shared_state.h"
#include "image/firmware_image.h"
#include "image/loader_record.h"
#include "upload/frame_sender.h"
#include "upload/line_risk.h"
#include "upload/prepare_upload.h"
#include "upload/receiver_state.h"
#include "upload/receiver_text.h"
#include "upload/record_protocol.h"
#include "upload/upload_control.h"
#include "upload/upload_timing.h"

namespace zelvar {

namespace {

constexpr std::size_t kVersionSkip = 5;     // "$VER" and one separator character
constexpr std::size_t kVersionChars = 255;  // characters a version line takes at most
constexpr std::size_t kVersionLineBytes = kVersionChars * 2 + 1;
constexpr int kIdBytes = 5;  // type number and four identification bytes
// The sector counter is 16 bits wide: more codes than it counts are no erase.
constexpr uint16_t kMaxSectorCount = 0xFFFF;

// Asks for the version text until one comes, for kVersionWaitMs at most; 0 when none
// came or the job was stopped.
int QueryVersion(PortHandle handle, char (&reply)[kSfldReplyBytes]) {
    const long long startMs = PortNowMs();
    while (!UploadStopped(handle)) {
        if (PortNowMs() - startMs >= kVersionWaitMs) {
            ShowStatus("No version text from the SFLD.");
            return 0;
        }
        WritePortByte(handle, CMD_VERSION);
        if (!UploadPause(kVersionQueryPauseMs)) return 0;
        std::memset(reply, 0, sizeof reply);
        if (ReadPortBytes(handle, reinterpret_cast<uint8_t*>(reply), kSfldReplyBytes - 1) > 0 &&
            std::strstr(reply, "$VER") != nullptr) {
            return 1;
        }
    }
    return 0;
}

void QueryFlashId(PortHandle handle) {
    uint8_t reply[kSfldReplyBytes] = {};
    WritePortByte(handle, CMD_FLASH_ID);
    UploadPause(kFlashIdPauseMs);
    if (ReadPortBytes(handle, reply, kSfldReplyBytes - 1) <= 0) {
        LogLine("FLASH identification failed.");
        return;
    }
    for (int i = 0; i < kSfldReplyBytes && reply[i] != 0; ++i) {
        if (reply[i] != CMD_FLASH_ID) continue;
        // Bytes the reply did not bring (past the buffer's end too) count as zero.
        uint8_t id[kIdBytes] = {};
        for (int k = 0; k < kIdBytes && i + 1 + k < kSfldReplyBytes; ++k) id[k] = reply[i + 1 + k];
        char line[64];
        std::snprintf(line, sizeof line, "TypeID:%d (%02X %02X %02X %02X)", id[0], id[1], id[2],
                      id[3], id[4]);
        LogLine(line);
        return;
    }
}

int EnterBootMode(PortHandle handle) {
    LogLine("Entering boot mode...");
    WritePortByte(handle, CMD_BOOT_MODE);
    if (!WaitForPortByte(handle, CMD_BOOT_MODE, 0)) {
        LogLine("Failed");
        return 0;
    }
    LogLine("Complete");
    return 1;
}

int Erase(PortHandle handle, CLoaderRecord& record, uint32_t start) {
    EnterPhase(JobPhase::Erase);
    WritePortByte(handle, CMD_ATTENTION);
    LogLine("Erasing FLASH...");
    UploadPause(kEraseCommandPauseMs);
    WritePortByte(handle, CMD_ERASE);
    if (!WaitForPortByte(handle, ERASE_DONE, 0)) return 0;
    record.MakeRange(start, g_uploadPlan.eraseEnd);
    if (!SendRecordWithRecovery(handle, record, RecordOnce)) return 0;
    return WaitForErase(handle);
}

void ShowLineRisk() {
    char text[192];
    FormatLineRisk(g_programmingRisk, text, sizeof text);
    LogLine(text);
}

int WriteImage(PortHandle handle, CFirmwareImage& image, CLoaderRecord& record) {
    EnterPhase(JobPhase::Program);
    CFrameSender sender(handle);
    uint32_t done = 0;
    for (;;) {
        if (!image.NextRecord(record)) {
            ShowStatus("Image read error.");
            return 0;
        }
        const uint32_t n = record.DataCount();
        if (n == 0) break;
        if (!sender.SendData(record, done, g_uploadPlan.programBytes)) return 0;
        NoteProgrammedUpTo(record.BaseAddress() + n);
    }
    record.MakeEnd();
    if (!sender.SendEnd(record)) return 0;
    ShowLineRisk();
    ShowStatus("FLASH Programing Complete.");
    return 1;
}

}  // namespace

void ShowVersionText(const char* text) {
    std::size_t n = std::strlen(text);
    if (n <= kVersionSkip) return;
    while (n > kVersionSkip && !std::isdigit(static_cast<unsigned char>(text[n - 1]))) --n;
    char line[kVersionLineBytes];
    Latin1ToUtf8(text + kVersionSkip, std::min(n - kVersionSkip, kVersionChars), line, sizeof line);
    LogLine(line);
}

int WaitForErase(PortHandle handle) {
    uint16_t sectors = 0;
    long long lastByteMs = PortNowMs();
    while (!UploadStopped(handle)) {
        uint8_t code = 0;
        if (!ReadPortByte(handle, code, 0)) {
            // A long erase is fine as long as sectors keep coming.
            if (PortNowMs() - lastByteMs < kEraseSilenceMs) continue;
            ShowStatus("No erase progress from the SFLD.");
            return 0;
        }
        lastByteMs = PortNowMs();
        char text[48];
        switch (code) {
            case SECTOR_ERASED:
                if (sectors == kMaxSectorCount) {
                    ShowStatus("Flash erase failure.");
                    return 0;
                }
                std::snprintf(text, sizeof text, "%i sectors erased.", ++sectors);
                ShowStatus(text);
                break;
            case ERASE_FAILED:
                ShowStatus("Flash erase failure.");
                return 0;
            case ERASE_DONE:
                ShowStatus("FLASH erasing complete.");
                return 1;
            default:
                std::snprintf(text, sizeof text, "Unknown command 0x%02X.", code);
                ShowStatus(text);
                ShowStatus("FLASH erase failure.");
                return 0;
        }
    }
    return 0;
}

int ProgramFlash(PortHandle handle, CFirmwareImage& image) {
    if (g_pfldMode && !EnterBootMode(handle)) return 0;
    ShowStatus("FLASHProgram Begin");
    image.Rewind();
    g_uploadBusy = true;
    NoteEraseBegun(g_pfldMode);
    CLoaderRecord record;
    if (!Erase(handle, record, image.StartAddress())) return 0;
    LogLine("Complete.");
    LogLine("FLASH Programming...");
    return WriteImage(handle, image, record);
}

int IdentifyAndProgram(PortHandle handle) {
    char reply[kSfldReplyBytes];
    if (!QueryVersion(handle, reply)) {
        ShowStatus("FLASH upload failed.");
        return 0;
    }
    ShowVersionText(std::strstr(reply, "$VER"));
    QueryFlashId(handle);
    if (!ProgramFlash(handle, g_firmwareImage)) {
        ShowStatus("FLASH upload failed.");
        return 0;
    }
    ShowStatus("FLASH upload complete.");
    return 1;
}

}  // namespace zelvar
