// Commands from the dialog to the terminal loop, and the terminal's shared settings.
// Commands are queued, so none is lost or overwritten: a Stop followed at once by a
// new job's speed command reaches the old loop as Stop and the new loop as the speed.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace zelvar {

enum TerminalCommand : int {
    TermIdle = 0,
    TermStop = 1,
    TermSend = 2,
    TermSpeed9600 = 3,
    TermSpeed19200 = 4,
    TermSpeed57600 = 5,
    TermSpeed115200 = 6,
    TermSpeed4800 = 7,
    TermReopen = 9,
};

constexpr std::size_t kSendBufferBytes = 512;
constexpr std::size_t kSendTextBytes = 509;  // room for CR, LF and the terminator

struct TerminalRequest {
    int command = TermIdle;
    // For TermSend: the zero-terminated text to send, copied when the command is posted.
    char text[kSendBufferBytes] = {};
};

extern std::atomic<int> g_hexDisplay;
extern std::atomic<int> g_pauseDisplay;
extern std::atomic<int> g_terminalBaud;

// Queues a command; for TermSend, text (at most kSendTextBytes bytes are taken) goes
// with it. Returns false only when the queue is full.
bool PostTerminalCommand(int command, const char* text = nullptr);
// Takes the oldest queued command into request; false (and TermIdle) when none waits.
bool TakeTerminalCommand(TerminalRequest& request);
// Drops every queued command.
void ClearTerminalCommands();
// Number of queued commands.
std::size_t PendingTerminalCommands();

}  // namespace zelvar
