// Reply collection and the connect procedure: finds the speed and the state (normal
// operation or resident loader) in which the receiver answers, then reads its flash
// section information.
#include "link/receiver_queries.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "base/loader_events.h"
#include "base/message_log.h"

namespace zelvar {

ReceiverInfo g_receiverInfo;
std::atomic<bool> g_pflDetected{false};
char g_replyBuffer[kReplyBufferBytes];

namespace {

using Clock = std::chrono::steady_clock;

// A line is complete at its line feed, or at whatever byte follows a carriage return.
bool LineComplete(int position) {
    if (g_replyBuffer[position - 1] == '\n') return true;
    return position >= 2 && g_replyBuffer[position - 2] == '\r';
}

int RemainingMs(Clock::time_point deadline) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

}  // namespace

const char* WaitForReply(PortHandle handle, const char* prefix, bool strict) {
    const int n = static_cast<int>(std::strlen(prefix));
    const auto deadline = Clock::now() + std::chrono::milliseconds(kReplyCallLimitMs);
    int position = 0;
    int emptyReads = 0;
    std::memset(g_replyBuffer, 0, sizeof g_replyBuffer);

    while (emptyReads < kReplyEmptyReads) {
        const int waitMs = std::min(kReplyReadWaitMs, RemainingMs(deadline));
        if (waitMs == 0) return nullptr;
        auto* slot = reinterpret_cast<uint8_t*>(&g_replyBuffer[position]);
        const int got = ReadPortRaw(handle, slot, 1, waitMs);
        if (got <= 0) {
            if (IsPortLost(handle)) return nullptr;
            if (got < 0) std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
            ++emptyReads;
            continue;
        }
        if (position < n && g_replyBuffer[position] != prefix[position]) {
            // The byte that broke the match is dropped, not tried as a new start.
            g_replyBuffer[position] = 0;
            position = 0;
            if (strict) return nullptr;
            continue;
        }
        if (++position == kReplyBufferBytes) {
            // An over-long line is dropped; matching starts again with the prefix.
            position = 0;
            std::memset(g_replyBuffer, 0, sizeof g_replyBuffer);
            continue;
        }
        if (position >= n && LineComplete(position)) {
            g_replyBuffer[position] = 0;
            return g_replyBuffer;
        }
    }
    return nullptr;
}

namespace {

enum class Probe { Answered, Silent, SpeedRefused };

// Sends the loader probe at the loader's speed.
Probe ProbeLoader(PortHandle handle) {
    if (ChangeLineSpeed(handle, kLoaderProbeSpeed).Refused()) return Probe::SpeedRefused;
    WritePortText(handle, "$A\r\n", 0);
    return WaitForReply(handle, "A:", true) != nullptr ? Probe::Answered : Probe::Silent;
}

// Tries the port query at every speed of the probe table; the answering speed, or 0
// when none answered or the port refused one of the speeds.
uint32_t ProbeSpeeds(PortHandle handle) {
    for (const int* speed = kProbeSpeeds; *speed != 0; ++speed) {
        if (IsPortLost(handle)) return 0;
        if (ChangeLineSpeed(handle, *speed).Refused()) return 0;
        WritePortText(handle, "$PQRXQ,PRT\r\n", 0);
        if (WaitForReply(handle, "$PQRXR", false) != nullptr) return static_cast<uint32_t>(*speed);
    }
    return 0;
}

}  // namespace

int ConnectReceiver(PortHandle handle, ReceiverInfo& info) {
    EnterPhase(JobPhase::Connect);
    info = ReceiverInfo{};

    const Probe loader = ProbeLoader(handle);
    if (loader == Probe::SpeedRefused) return 0;
    if (loader == Probe::Answered) {
        LogLine("PFL mode detected");
        g_pflDetected = true;
        const int pfldRead = ReadFlashSection(kFlashBase, kFwBase, info.pfld, handle);
        ReadFlashSection(kFwBase, kFlashEnd, info.main, handle);
        if (pfldRead) {
            info.speed = kLoaderProbeSpeed;
            info.pflMode = 1;
            info.connected = 1;
            return 1;
        }
    }

    const uint32_t speed = ProbeSpeeds(handle);
    if (speed == 0) {
        info.connected = 0;
        return 0;
    }
    info.speed = speed;
    int result = ReadFlashSection(kFlashBase, kFwBase, info.pfld, handle);
    if (result) result = ReadFlashSection(kFwBase, kFlashEnd, info.main, handle);
    info.connected = result ? 1 : 0;
    return info.connected;
}

}  // namespace zelvar
