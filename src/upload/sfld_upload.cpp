#include "upload/sfld_upload.h"

#include <cstdio>
#include <cstring>

#include "app/message_log.h"
#include "image/firmware_image.h"
#include "image/loader_record.h"
#include "link/receiver_queries.h"
#include "upload/flash_programming.h"
#include "upload/image_fields.h"
#include "upload/record_protocol.h"
#include "upload/upload_control.h"
#include "upload/upload_timing.h"

namespace zelvar {

namespace {

void AttentionBurst(PortHandle handle) {
    for (int i = 0; i < kAttentionBytes; ++i) {
        if (i > 0 && !UploadPause(kAttentionGapMs)) return;
        WritePortByte(handle, kStateAttention);
    }
}

void SendBootRequest(PortHandle handle, int speed) {
    SetPortSpeed(handle, speed);
    WritePortText(handle, kBootRequest, sizeof kBootRequest);
}

// A "$" began a text: reads the rest and moves the state on. The state stays when
// nothing followed the "$".
void TakeText(PortHandle handle, uint8_t& state) {
    char buffer[kTextBufferBytes] = {};
    buffer[0] = '$';
    UploadPause(kTextSettleMs);
    if (ReadPortBytes(handle, reinterpret_cast<uint8_t*>(buffer) + 1, kTextBufferBytes - 2) <= 0) {
        return;
    }
    if (std::strstr(buffer, "$VER") != nullptr) ShowVersionText(buffer);
    state = kStateWaitRecWait;
    ShowStatus("Wait for REC_WAIT_CODE.");
}

void StartSfld(PortHandle handle, uint8_t& state) {
    LogLine("Complete.");
    ShowStatus("Wait for SFLD");
    state = kStateAttention;
    for (int i = 0; i < kSfldStartBytes; ++i) {
        if (!UploadPause(kSfldStartPauseMs)) return;
        WritePortByte(handle, kStateAttention);
    }
}

// One turn's answer. True when the flash has been programmed.
bool ActOnAnswer(PortHandle handle, uint8_t answer, uint8_t& state) {
    switch (answer) {
        case REC_ACK:
            SetPortSpeed(handle, kSfldSpeed);
            if (IdentifyAndProgram(handle)) return true;
            SetPortSpeed(handle, kPfldSpeed);
            break;
        case '$':
            TakeText(handle, state);
            break;
        case kStateWaitRecWait:
            if (state != kStateAskVersion) {
                state = kStateAskVersion;
                ShowStatus("Ask PFLD version.");
            }
            break;
        case REC_WAIT_CODE:
            if (UploadSfld(handle, g_sfldReader)) StartSfld(handle, state);
            break;
        default:
            UploadPause(kUnexpectedBytePauseMs);
            state = kStateAttention;
            break;
    }
    return false;
}

}  // namespace

int WakeLoader(PortHandle handle) {
    ShowStatus("Waiting for target answer at 19200...");
    const ReceiverInfo& info = g_receiverInfo;
    if (info.speed == 0) {
        SendBootRequest(handle, kBootProbeSpeedLow);
        SetPortSpeed(handle, kPfldSpeed);
        AttentionBurst(handle);
        SendBootRequest(handle, kBootProbeSpeedHigh);
    } else if (!info.pflMode) {
        SendBootRequest(handle, static_cast<int>(info.speed));
    }
    SetPortSpeed(handle, kPfldSpeed);
    AttentionBurst(handle);
    return 1;
}

int UploadSfld(PortHandle handle, CSRecordReader& reader) {
    reader.Rewind();
    LogLine("Uploading SFLD...");
    CLoaderRecord record;
    for (;;) {
        if (!reader.NextRecord(record)) {
            ShowStatus("Image reading error.");
            return 0;
        }
        if (record.DataCount() == 0) {
            record.MakeEnd();
            return SendRecordWithRecovery(handle, record);
        }
        if (!SendRecordWithRecovery(handle, record)) return 0;
    }
}

int RunUpload(PortHandle handle) {
    ShowImageFields(g_sfldReader.StartAddress(), g_sfldReader.EntryPoint(),
                    g_sfldReader.ImageSize());
    g_sfldReader.Rewind();
    if (UploadStopped(handle)) return -1;
    WakeLoader(handle);
    uint8_t state = kStateAttention;
    while (!UploadStopped(handle)) {
        WritePortByte(handle, state);
        if (!UploadPause(kTurnPauseMs)) break;
        uint8_t answer = 0;
        if (!ReadPortByte(handle, answer, 0)) continue;
        if (ActOnAnswer(handle, answer, state)) return 0;
    }
    return -1;
}

}  // namespace zelvar
