#include "upload/record_protocol.h"

#include <cstdio>

#include "base/message_log.h"
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

PortResult WriteFrame(PortHandle handle, const CLoaderRecord& record) {
    return WritePortText(handle, record.Bytes(), record.Length());
}

// One read of the answer: ReadPortByte's attempts, then one more attempt of
// kAnswerRetryMs that takes a byte the moment it arrives instead of sleeping through it.
bool ReadAnswerByte(PortHandle handle, uint8_t& answer) {
    return ReadPortByte(handle, answer, 0) || ReadPortRaw(handle, &answer, 1, kAnswerRetryMs) == 1;
}

// One frame across all its writes. The re-asks are counted over every write: a loader
// that takes frames and never answers costs kAnswerReasks silences, not that many per
// re-write.
struct FrameAttempts {
    RecordKind kind = RecordRepeatable;
    int reasks = 0;           // 0x55 sent into a silent line
    bool mayBeTaken = false;  // a write went unanswered: the loader may have taken it
    int refusals = 0;         // error answers: the frame arrived spoilt
};

// What one answer wait has seen so far.
struct AnswerWait {
    FrameAttempts& frame;
    int recWaitCount = 0;   // REC_WAIT bytes after the frame (not after our re-ask)
    int recWaitBreaks = 0;  // re-writes those caused
    int strayBytes = 0;
    bool reasked = false;  // the last thing we sent was a re-ask
    long long lastByteMs = 0;
};

// The wait ends without an answer the frame can be judged by: the loader may have
// taken it.
int NoAnswer(AnswerWait& wait) {
    wait.frame.mayBeTaken = true;
    ShowStatus("No answer to the record.");
    return 0;
}

void WriteAfterRecWaitBreak(PortHandle handle, const CLoaderRecord& record) {
    DrainPort(handle);
    PurgePort(handle, kPurgeReceive);
    PurgePort(handle, kPurgeTransmit);
    UploadPause(kRewriteSettleMs);
    ShowStatus("REC_WAIT break");
    WriteFrame(handle, record);
}

// The line has been silent since the frame: the answer may have been lost while the
// loader took the frame and now waits for the next one. Asking with 0x55 makes such a
// loader answer REC_WAIT. False when we may not or have asked often enough.
bool AskAgain(PortHandle handle, AnswerWait& wait) {
    if (wait.frame.kind == RecordOnce || wait.frame.reasks == kAnswerReasks) return false;
    ++wait.frame.reasks;
    wait.reasked = true;
    ShowStatus("No answer, asking the loader again.");
    WritePortByte(handle, REC_ACK);
    return true;
}

// Reads the answer to a frame just written; re-writes the frame after the tolerated
// REC_WAIT bytes, and when the loader answers a re-ask with REC_WAIT. 1 accepted,
// kAcceptedOnReask accepted in answer to a re-ask, 0 refused, unanswered or stopped.
int AwaitAnswer(PortHandle handle, const CLoaderRecord& record, FrameAttempts& frame) {
    AnswerWait wait{.frame = frame, .lastByteMs = PortNowMs()};
    while (!UploadStopped(handle)) {
        uint8_t answer = 0;
        if (!ReadAnswerByte(handle, answer)) {
            if (PortNowMs() - wait.lastByteMs < kAnswerSilenceMs) continue;
            frame.mayBeTaken = true;
            if (!AskAgain(handle, wait)) return NoAnswer(wait);
            wait.lastByteMs = PortNowMs();
            continue;
        }
        wait.lastByteMs = PortNowMs();
        if (answer == REC_ACK) {
            ShowAccepted(record.BaseAddress());
            return wait.reasked ? kAcceptedOnReask : 1;
        }
        if (const char* error = AnswerErrorText(answer)) {
            ++frame.refusals;
            ShowStatus(error);
            return 0;
        }
        if (answer != REC_WAIT) {  // stray bytes (erase codes, noise) are skipped
            if (++wait.strayBytes <= kStrayAnswerBytes) continue;
            return NoAnswer(wait);
        }
        if (wait.reasked) {
            // The loader had taken the frame and waits for the next one; the same bytes
            // programmed again change nothing.
            wait.reasked = false;
            ShowStatus("Writing the record again.");
            WriteFrame(handle, record);
            continue;
        }
        if (++wait.recWaitCount <= kRecWaitTolerated) continue;
        if (++wait.recWaitBreaks > kRecWaitBreaks) return NoAnswer(wait);
        WriteAfterRecWaitBreak(handle, record);
    }
    return 0;
}

// Drains the loader after a failed frame until it shows with REC_WAIT that it waits
// for a frame again: every stray byte is answered with 0x55, and so is a silent line,
// which a waiting loader answers at once. 1 on REC_WAIT, 0 when the loader stays
// silent, the attempts run out or the job stops.
int Recover(PortHandle handle) {
    long long lastByteMs = PortNowMs();
    for (int attempt = 0; attempt < kRecoveryAttempts && !UploadStopped(handle); ++attempt) {
        uint8_t byte = 0;
        if (ReadPortByte(handle, byte, 0)) {
            if (byte == REC_WAIT) return 1;
            ShowReceived(attempt, byte);
            lastByteMs = PortNowMs();
        } else if (PortNowMs() - lastByteMs >= kRecoverySilenceMs) {
            ShowStatus("No REC_WAIT from the loader.");
            return 0;
        }
        WritePortByte(handle, REC_ACK);
        UploadPause(kRecoveryPauseMs);
    }
    return 0;
}

void ShowRewrite(int rewrite) {
    char text[64];
    std::snprintf(text, sizeof text, "Writing the record again (%d of %d).", rewrite,
                  kFrameRewrites);
    ShowStatus(text);
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
    const long long startMs = PortNowMs();
    while (!UploadStopped(handle)) {
        uint8_t byte = 0;
        if (!ReadPortByte(handle, byte, prompt)) return 0;
        if (byte == expected) return 1;
        // A line full of other bytes ends the wait as a silent one does.
        if (PortNowMs() - startMs >= kExpectedByteLimitMs) return 0;
    }
    return 0;
}

namespace {

// SendRecord, with what happened to the frame kept in frame.
int SendRecordCounted(PortHandle handle, const CLoaderRecord& record, FrameAttempts& frame) {
    PurgePort(handle, kPurgeReceive);
    PurgePort(handle, kPurgeTransmit);
    if (!UploadPause(kPurgeSettleMs)) return 0;
    WritePortByte(handle, REC_ACK);
    if (!WaitForPortByte(handle, REC_WAIT, 0)) return 0;
    WriteFrame(handle, record);
    return AwaitAnswer(handle, record, frame);
}

// SendRecordCounted, and after a failure the recovery and the frame written again.
int SendAndRewrite(PortHandle handle, const CLoaderRecord& record, FrameAttempts& frame) {
    int result = SendRecordCounted(handle, record, frame);
    // A frame the loader refused or never saw is written again once it waits for a
    // frame; after the last re-write the recovery still leaves it waiting.
    for (int rewrite = 1; result == 0; ++rewrite) {
        if (UploadStopped(handle)) return 0;
        ShowStatus("Repeat Sending Record.");
        if (!Recover(handle)) return 0;
        const bool writeOnce = frame.kind == RecordOnce && frame.mayBeTaken;
        if (rewrite > kFrameRewrites || frame.reasks >= kAnswerReasks || writeOnce) {
            ShowStatus("Record not accepted, giving up.");
            return 0;
        }
        ShowRewrite(rewrite);
        result = SendRecordCounted(handle, record, frame);
    }
    return result;
}

}  // namespace

int SendRecord(PortHandle handle, const CLoaderRecord& record) {
    FrameAttempts frame;
    return SendRecordCounted(handle, record, frame);
}

int SendRecordWithRecovery(PortHandle handle, const CLoaderRecord& record, RecordKind kind,
                           FrameReport* report) {
    FrameAttempts frame{.kind = kind};
    const int result = SendAndRewrite(handle, record, frame);
    if (report != nullptr) *report = {.refusals = frame.refusals, .accepted = result != 0};
    return result;
}

}  // namespace zelvar
