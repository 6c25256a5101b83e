#include "upload/sfld_upload.h"

#include <cstdio>
#include <cstring>

#include "base/job_failure.h"
#include "base/loader_events.h"
#include "base/message_log.h"
#include "image/firmware_image.h"
#include "image/loader_record.h"
#include "link/receiver_queries.h"
#include "upload/flash_programming.h"
#include "upload/image_fields.h"
#include "upload/line_risk.h"
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

// False when the port refused the speed (shown).
bool SendBootRequest(PortHandle handle, int speed) {
    if (ChangeLineSpeed(handle, speed).Refused()) return false;
    WritePortText(handle, kBootRequest, sizeof kBootRequest);
    return true;
}

// The boot requests for what the connect found; false when the port refused a speed.
bool SendBootRequests(PortHandle handle) {
    const ReceiverInfo& info = g_receiverInfo;
    if (info.speed == 0) {
        if (!SendBootRequest(handle, kBootProbeSpeedLow)) return false;
        if (ChangeLineSpeed(handle, kPfldSpeed).Refused()) return false;
        AttentionBurst(handle);
        return SendBootRequest(handle, kBootProbeSpeedHigh);
    }
    return info.pflMode || SendBootRequest(handle, static_cast<int>(info.speed));
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

// The phases a pass can fail in, as the job's closing reason counts them.
enum PassPhase { PhaseDialogue, PhaseSfldUpload, PhaseSfldStart, PhaseProgramming, kPhaseCount };

// How the turns of one job stand.
struct UploadLoop {
    uint8_t state = kStateAttention;
    bool sfldSent = false;  // the SFLD went over; its first 0x55 is awaited
    long long lastByteMs = 0;
    long long passStartMs = 0;
    int failed[kPhaseCount] = {};
    int failedPasses = 0;
    PassPhase failing = PhaseDialogue;  // where the pass that failed last failed
};

// JobFailed: the port refused a line speed, which no new pass can mend.
enum class TurnEnd { Next, Programmed, PassFailed, JobFailed };

TurnEnd PassFailed(UploadLoop& loop, PassPhase phase) {
    loop.failing = phase;
    return TurnEnd::PassFailed;
}

void StartSfld(PortHandle handle, UploadLoop& loop, bool attention) {
    LogLine("Complete.");
    ShowStatus("Wait for SFLD");
    loop.state = kStateAttention;
    loop.sfldSent = true;
    for (int i = 0; attention && i < kSfldStartBytes; ++i) {
        if (!UploadPause(kSfldStartPauseMs)) return;
        WritePortByte(handle, kStateAttention);
    }
}

TurnEnd Program(PortHandle handle, UploadLoop& loop) {
    if (ChangeLineSpeed(handle, kSfldSpeed).Refused()) return TurnEnd::JobFailed;
    if (IdentifyAndProgram(handle)) return TurnEnd::Programmed;
    if (ChangeLineSpeed(handle, kPfldSpeed).Refused()) return TurnEnd::JobFailed;
    return PassFailed(loop, PhaseProgramming);
}

TurnEnd SendSfld(PortHandle handle, UploadLoop& loop) {
    const int result = UploadSfld(handle, g_sfldReader);
    if (result == 0) return PassFailed(loop, PhaseSfldUpload);
    // Accepted only when we asked again: the SFLD has already answered that 0x55.
    const bool started = result == kAcceptedOnReask;
    StartSfld(handle, loop, !started);
    return started ? Program(handle, loop) : TurnEnd::Next;
}

// One turn's answer.
TurnEnd ActOnAnswer(PortHandle handle, uint8_t answer, UploadLoop& loop) {
    switch (answer) {
        case REC_ACK:
            return Program(handle, loop);
        case '$':
            TakeText(handle, loop.state);
            break;
        case kStateWaitRecWait:
            if (loop.state != kStateAskVersion) {
                loop.state = kStateAskVersion;
                ShowStatus("Ask PFLD version.");
            }
            break;
        case REC_WAIT_CODE:
            return SendSfld(handle, loop);
        default:
            UploadPause(kUnexpectedBytePauseMs);
            loop.state = kStateAttention;
            break;
    }
    return TurnEnd::Next;
}

void ShowGivingUp(const UploadLoop& loop) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "Upload stopped after %d failed passes (PFLD dialogue %d, SFLD upload %d, "
                  "SFLD start %d, flash programming %d).",
                  loop.failedPasses, loop.failed[PhaseDialogue], loop.failed[PhaseSfldUpload],
                  loop.failed[PhaseSfldStart], loop.failed[PhaseProgramming]);
    NoteJobFailure(text);
    LogLine(text);
}

// Counts a failed pass; false when the job has had its share.
bool CountFailedPass(UploadLoop& loop, PassPhase phase) {
    ++loop.failed[phase];
    ++loop.failedPasses;
    loop.sfldSent = false;
    loop.passStartMs = loop.lastByteMs = PortNowMs();
    if (loop.failedPasses < kFailedPassesAllowed) return true;
    ShowGivingUp(loop);
    return false;
}

// A turn that brought nothing: true when the pass has waited too long for the
// receiver, which then fails it.
bool DialogueOver(const UploadLoop& loop) {
    const long long now = PortNowMs();
    if (now - loop.lastByteMs >= kDialogueSilenceMs) {
        ShowStatus(loop.sfldSent ? "No answer from the SFLD." : "No answer from the PFLD.");
        return true;
    }
    if (now - loop.passStartMs >= kDialogueLimitMs) {
        ShowStatus(loop.sfldSent ? "No answer from the SFLD." : "No REC_WAIT_CODE from the PFLD.");
        return true;
    }
    return false;
}

}  // namespace

int WakeLoader(PortHandle handle) {
    EnterPhase(JobPhase::Wake);
    ShowStatus("Waiting for target answer at 19200...");
    if (!SendBootRequests(handle) || ChangeLineSpeed(handle, kPfldSpeed).Refused()) return 0;
    AttentionBurst(handle);
    return 1;
}

int UploadSfld(PortHandle handle, CSRecordReader& reader) {
    reader.Rewind();
    EnterPhase(JobPhase::Sfld);
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
    g_programmingRisk.Reset();
    if (UploadStopped(handle) || !WakeLoader(handle)) return -1;
    UploadLoop loop;
    loop.passStartMs = loop.lastByteMs = PortNowMs();
    while (!UploadStopped(handle)) {
        WritePortByte(handle, loop.state);
        if (!UploadPause(kTurnPauseMs)) break;
        uint8_t answer = 0;
        const bool answered = ReadPortByte(handle, answer, 0) != 0;
        TurnEnd end = TurnEnd::Next;
        if (answered) {
            loop.lastByteMs = PortNowMs();
            end = ActOnAnswer(handle, answer, loop);
        } else if (DialogueOver(loop)) {
            end = PassFailed(loop, loop.sfldSent ? PhaseSfldStart : PhaseDialogue);
        }
        if (end == TurnEnd::Programmed) return 0;
        if (end == TurnEnd::JobFailed) return -1;
        if (end != TurnEnd::PassFailed || UploadStopped(handle)) continue;
        if (!CountFailedPass(loop, loop.failing)) return -1;
        // A receiver that went quiet may have missed the boot request or dropped out
        // of its loaders: wake it again.
        if (!answered) {
            loop.state = kStateAttention;
            if (!WakeLoader(handle)) return -1;
        } else {
            EnterPhase(JobPhase::Wake);  // every pass begins in the wake step
        }
    }
    return -1;
}

}  // namespace zelvar
