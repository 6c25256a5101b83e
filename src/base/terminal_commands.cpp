#include "base/terminal_commands.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>

#include "base/shared_state.h"

namespace zelvar {

std::atomic<int> g_hexDisplay{0};
std::atomic<int> g_pauseDisplay{0};
std::atomic<int> g_terminalBaud{4800};

namespace {

constexpr auto kCancelPollInterval = std::chrono::milliseconds(100);

struct PendingSession {
    int id = 0;
    std::string portName;
};

// Sessions are numbered in the order the dialog begins them and are served in that
// order. Every counter only grows.
struct TerminalSessions {
    std::mutex mutex;
    std::condition_variable changed;

    // Commands in the order they were posted. It grows with what the dialog posts
    // faster than loops take it (each new loop first opens the port and sets its
    // speed), up to kTerminalQueueLimit.
    std::deque<TerminalRequest> queue;

    int latest = 0;        // last session begun
    int endedUpTo = 0;     // the dialog has left every session up to this one
    int finishedUpTo = 0;  // every session up to this one has had its loop (or never will)
    int holder = 0;        // session whose loop holds the port, 0 when none
    std::deque<PendingSession> unclaimed;  // begun, not yet claimed by a job
    unsigned long progress = 0;            // bumped on every begin, claim and release

    // Caller holds mutex for all of these.
    bool CurrentOpen() const { return latest > endedUpTo; }
    void Bump() {
        ++progress;
        changed.notify_all();
    }
    void DropUpTo(int session);
    bool Push(int command, int session, const char* text);
    int BeginLocked(const char* portName);
};

TerminalSessions& Sessions() {
    static TerminalSessions sessions;
    return sessions;
}

void TerminalSessions::DropUpTo(int session) {
    std::erase_if(queue, [session](const TerminalRequest& r) { return r.session <= session; });
}

bool TerminalSessions::Push(int command, int session, const char* text) {
    if (queue.size() >= kTerminalQueueLimit) DropUpTo(finishedUpTo);
    if (queue.size() >= kTerminalQueueLimit) return false;
    TerminalRequest& slot = queue.emplace_back();
    slot.command = command;
    slot.session = session;
    if (text != nullptr) std::memcpy(slot.text, text, Utf8Prefix(text, kSendTextBytes));
    return true;
}

int TerminalSessions::BeginLocked(const char* portName) {
    endedUpTo = latest;  // one session is current at a time
    ++latest;
    unclaimed.push_back({latest, portName != nullptr ? portName : ""});
    Bump();
    return latest;
}

bool PortMatches(const PendingSession& session, const char* portName) {
    return portName == nullptr || session.portName == portName;
}

}  // namespace

int BeginTerminalSession(const char* portName) {
    TerminalSessions& s = Sessions();
    std::lock_guard lock(s.mutex);
    return s.BeginLocked(std::string(portName, Utf8Prefix(portName, kSessionPortChars)).c_str());
}

bool PostTerminalCommand(int command, const char* text) {
    TerminalSessions& s = Sessions();
    std::lock_guard lock(s.mutex);
    if (command == TermStop) {
        // Nothing to stop outside a session: a stale Stop must never reach a later loop.
        if (!s.CurrentOpen()) return true;
        s.endedUpTo = s.latest;
        s.Bump();
    }
    // In loader mode a command waits for the next session: the next loop takes it first.
    int session = s.CurrentOpen() || command == TermStop ? s.latest : s.latest + 1;
    if (session <= s.finishedUpTo) return false;  // its loop has gone
    bool queued = s.Push(command, session, text);
    s.changed.notify_all();
    return queued;
}

int ClaimTerminalSession(const char* portName, int quietMs) {
    TerminalSessions& s = Sessions();
    std::unique_lock lock(s.mutex);
    const auto quiet = std::chrono::milliseconds(quietMs);
    auto deadline = std::chrono::steady_clock::now() + quiet;
    unsigned long seen = s.progress;
    while (!g_jobCancel.load()) {
        if (s.holder == 0) {
            if (s.unclaimed.empty()) s.BeginLocked(portName);
            if (PortMatches(s.unclaimed.front(), portName)) {
                s.holder = s.unclaimed.front().id;
                s.unclaimed.pop_front();
                s.Bump();
                return s.holder;
            }
        }
        if (s.progress != seen) {
            seen = s.progress;
            deadline = std::chrono::steady_clock::now() + quiet;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            if (s.holder != 0) return 0;  // the previous loop does not let go
            // The job begun for the next session never came to claim it: skip it.
            s.finishedUpTo = std::max(s.finishedUpTo, s.unclaimed.front().id);
            s.DropUpTo(s.finishedUpTo);
            s.unclaimed.pop_front();
            s.Bump();
            continue;
        }
        s.changed.wait_for(lock, kCancelPollInterval);
    }
    return 0;
}

bool TakeTerminalCommand(int session, TerminalRequest& request) {
    TerminalSessions& s = Sessions();
    std::lock_guard lock(s.mutex);
    while (!s.queue.empty()) {
        const TerminalRequest& front = s.queue.front();
        if (front.session > session) break;
        bool mine = front.session == session;
        if (mine) request = front;
        s.queue.pop_front();
        if (mine) return true;
    }
    request.command = TermIdle;
    return false;
}

bool IsTerminalSessionOver(int session) {
    TerminalSessions& s = Sessions();
    std::lock_guard lock(s.mutex);
    if (session > s.endedUpTo) return false;
    return std::none_of(s.queue.begin(), s.queue.end(),
                        [session](const TerminalRequest& r) { return r.session == session; });
}

void ReleaseTerminalSession(int session) {
    TerminalSessions& s = Sessions();
    std::lock_guard lock(s.mutex);
    if (s.holder == session) s.holder = 0;
    s.finishedUpTo = std::max(s.finishedUpTo, session);
    s.DropUpTo(s.finishedUpTo);
    s.Bump();
}

int ActiveTerminalSession() {
    TerminalSessions& s = Sessions();
    std::lock_guard lock(s.mutex);
    return s.holder;
}

std::size_t PendingTerminalCommands() {
    TerminalSessions& s = Sessions();
    std::lock_guard lock(s.mutex);
    return s.queue.size();
}

void ClearTerminalCommands() {
    TerminalSessions& s = Sessions();
    std::lock_guard lock(s.mutex);
    s.queue.clear();
    s.endedUpTo = s.latest;
    s.finishedUpTo = s.latest;
    s.holder = 0;
    s.unclaimed.clear();
    s.Bump();
}

}  // namespace zelvar
