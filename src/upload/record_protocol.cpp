#include "upload/record_protocol.h"

#include <cstdio>

#include "app/message_log.h"
#include "image/loader_record.h"
#include "upload/receiver_text.h"
#include "upload/upload_control.h"
#include "upload/upload_timing.h"

namespace zelvar {

namespace {

constexpr unsigned kPurgeReceive = PURGE_RXABORT | PURGE_RXCLEAR;   // 0x0A
constexpr unsigned kPurgeTransmit = PURGE_TXABORT | PURGE_TXCLEAR;  // 0x05

void ShowAccepted(uint32_t address) {
    char text[32];
    std::snprintf(text, sizeof text, "Address:0x%08X.", address);
    ShowStatus(text);
}

// "Rcv:%d %c": the attempt number and the byte as a character (see Latin1ToUtf8).
void ShowReceived(int attempt, uint8_t byte) {
    char shown[4];
    const char raw = static_cast<char>(byte);
    Latin1ToUtf8(&raw, 1, shown, sizeof shown);
    char text[32];
    std::snprintf(text, sizeof text, "Rcv:%d %s", attempt, shown);
    ShowStatus(text);
}

int WriteFrame(PortHandle handle, const CLoaderRecord& record) {
    return WritePortText(handle, record.Bytes(), record.Length());
}

// Reads the answer to a frame just written; re-writes the frame after the tolerated
// REC_WAIT bytes. 1 accepted, 0 refused or stopped.
int AwaitAnswer(PortHandle handle, const CLoaderRecord& record) {
    int recWaitCount = 0;
    while (!UploadStopped(handle)) {
        uint8_t answer = 0;
        // After a whole empty read the next attempt waits kAnswerRetryMs for a byte, and
        // takes it the moment it arrives instead of sleeping through it.
        if (!ReadPortByte(handle, answer, 0) &&
            ReadPortRaw(handle, &answer, 1, kAnswerRetryMs) != 1) {
            continue;
        }
        if (answer == REC_ACK) {
            ShowAccepted(record.BaseAddress());
            return 1;
        }
        if (const char* error = AnswerErrorText(answer)) {
            ShowStatus(error);
            return 0;
        }
        if (answer != REC_WAIT) continue;  // stray bytes (erase codes, noise) are skipped
        if (++recWaitCount <= kRecWaitTolerated) continue;
        DrainPort(handle);
        PurgePort(handle, kPurgeReceive);
        PurgePort(handle, kPurgeTransmit);
        UploadPause(kRewriteSettleMs);
        ShowStatus("REC_WAIT break");
        WriteFrame(handle, record);
    }
    return 0;
}

}  // namespace

const char* AnswerErrorText(uint8_t code) {
    switch (code) {
        case BAD_CSUM:
            return "ERROR: BAD_CSUM";
        case BAD_LENGTH:
            return "ERROR: BAD_LENGTH";
        case BAD_COMMAND:
            return "ERROR: BAD_COMMAND";
        case RECORD_TIMEOUT:
            return "ERROR: RECORD_TIMEOUT";
        case NO_REC_END:
            return "ERROR: NO_REC_END";
        default:
            return nullptr;
    }
}

int WaitForPortByte(PortHandle handle, uint8_t expected, uint8_t prompt) {
    while (!UploadStopped(handle)) {
        uint8_t byte = 0;
        if (!ReadPortByte(handle, byte, prompt)) return 0;
        if (byte == expected) return 1;
    }
    return 0;
}

int SendRecord(PortHandle handle, const CLoaderRecord& record) {
    PurgePort(handle, kPurgeReceive);
    PurgePort(handle, kPurgeTransmit);
    if (!UploadPause(kPurgeSettleMs)) return 0;
    WritePortByte(handle, REC_ACK);
    if (!WaitForPortByte(handle, REC_WAIT, 0)) return 0;
    WriteFrame(handle, record);
    return AwaitAnswer(handle, record);
}

int SendRecordWithRecovery(PortHandle handle, const CLoaderRecord& record) {
    if (SendRecord(handle, record) == 1) return 1;
    if (UploadStopped(handle)) return 0;
    ShowStatus("Repeat Sending Record.");
    for (int attempt = 0; attempt < kRecoveryAttempts && !UploadStopped(handle); ++attempt) {
        uint8_t byte = 0;
        if (ReadPortByte(handle, byte, 0)) {
            if (byte == REC_WAIT) break;
            ShowReceived(attempt, byte);
            WritePortByte(handle, REC_ACK);
        }
        UploadPause(kRecoveryPauseMs);
    }
    return 0;
}

}  // namespace zelvar
