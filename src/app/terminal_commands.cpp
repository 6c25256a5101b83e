#include "app/terminal_commands.h"

#include <array>
#include <cstring>
#include <mutex>

#include "app/shared_state.h"

namespace zelvar {

std::atomic<int> g_hexDisplay{0};
std::atomic<int> g_pauseDisplay{0};
std::atomic<int> g_terminalBaud{4800};

namespace {

constexpr std::size_t kQueueSlots = 64;

struct CommandQueue {
    std::mutex mutex;
    std::array<TerminalRequest, kQueueSlots> slots;
    std::size_t head = 0;
    std::size_t count = 0;
};

CommandQueue& Queue() {
    static CommandQueue queue;
    return queue;
}

}  // namespace

bool PostTerminalCommand(int command, const char* text) {
    CommandQueue& q = Queue();
    std::lock_guard lock(q.mutex);
    if (q.count == kQueueSlots) return false;
    TerminalRequest& slot = q.slots[(q.head + q.count) % kQueueSlots];
    slot.command = command;
    std::memset(slot.text, 0, sizeof slot.text);
    if (text != nullptr) std::memcpy(slot.text, text, Utf8Prefix(text, kSendTextBytes));
    ++q.count;
    return true;
}

bool TakeTerminalCommand(TerminalRequest& request) {
    CommandQueue& q = Queue();
    std::lock_guard lock(q.mutex);
    if (q.count == 0) {
        request.command = TermIdle;
        return false;
    }
    request = q.slots[q.head];
    q.head = (q.head + 1) % kQueueSlots;
    --q.count;
    return true;
}

void ClearTerminalCommands() {
    CommandQueue& q = Queue();
    std::lock_guard lock(q.mutex);
    q.head = 0;
    q.count = 0;
}

std::size_t PendingTerminalCommands() {
    CommandQueue& q = Queue();
    std::lock_guard lock(q.mutex);
    return q.count;
}

}  // namespace zelvar
