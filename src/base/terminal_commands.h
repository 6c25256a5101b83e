// Commands from the dialog to the terminal loop, and the terminal's shared settings.
//
// Commands are queued, so none is lost or overwritten. Every terminal job serves one
// terminal session: the dialog begins a session when it enters terminal mode, and
// every command it posts belongs to the session that is current at that moment. A
// loop takes only its own session's commands, in order, so a Stop followed at once by
// a new job's speed command reaches the old loop as Stop and the new loop as the
// speed. Sessions are served one after the other: a loop claims the next session only
// when the previous loop has closed the port, so two loops never share the port.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "base/shared_state.h"

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
constexpr std::size_t kSendTextBytes = 509;        // room for CR, LF and the terminator
constexpr std::size_t kTerminalQueueLimit = 4096;  // commands waiting at most
constexpr std::size_t kSessionPortChars = kPortNameChars;

struct TerminalRequest {
    int command = TermIdle;
    int session = 0;
    // For TermSend: the zero-terminated text to send, copied when the command is posted.
    char text[kSendBufferBytes] = {};
};

extern std::atomic<int> g_hexDisplay;
extern std::atomic<int> g_pauseDisplay;
extern std::atomic<int> g_terminalBaud;

// --- The dialog's side -------------------------------------------------------------

// Entering terminal mode: a new session begins for the job that is about to start on
// portName. Returns the session's number (1, 2, ...).
int BeginTerminalSession(const char* portName);
// Queues a command for the current session (or, in loader mode, for the next one);
// for TermSend, text (at most kSendTextBytes bytes) goes with it. TermStop ends the
// current session; outside a session it does nothing. A command for a session whose
// loop has already ended is dropped, since nobody will ever take it. Returns false
// only when the queue is full or the command was dropped.
bool PostTerminalCommand(int command, const char* text = nullptr);

// --- The loop's side ---------------------------------------------------------------

// Claims the next session for a terminal job about to open portName (nullptr: any):
// waits until the previous loop has released its session, and until the next session
// is one begun for portName. Without any session begun, one is begun here (a job
// started without the dialog, such as the command line's). Returns the session, or 0
// when g_jobCancel is set or nothing moved for quietMs while waiting.
int ClaimTerminalSession(const char* portName, int quietMs);
// Takes the oldest command of session into request; false (and TermIdle) when none of
// its commands waits. Commands of older sessions met on the way are dropped.
bool TakeTerminalCommand(int session, TerminalRequest& request);
// The dialog has left the session (a TermStop was posted for it) and none of the
// session's commands waits any more.
bool IsTerminalSessionOver(int session);
// The session's loop has ended (or its job never got the port): its leftover commands
// are dropped and the next job may claim.
void ReleaseTerminalSession(int session);

// --- Inspection (tests, diagnostics) -----------------------------------------------

// The session whose loop holds the port, 0 when none.
int ActiveTerminalSession();
// Number of queued commands.
std::size_t PendingTerminalCommands();
// Drops every queued command and forgets every session (tests only).
void ClearTerminalCommands();

}  // namespace zelvar
