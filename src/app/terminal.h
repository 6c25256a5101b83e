// Terminal mode: the loop that sends the dialog's commands and shows what the
// receiver sends back, as text lines or hex.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/jobs.h"
#include "base/terminal_commands.h"
#include "link/port.h"

namespace zelvar {

constexpr int kTerminalLineBytes = 512;
constexpr int kTerminalLineChars = kTerminalLineBytes - 1;  // longest text line shown
constexpr int kTerminalHexLineChars = 23;                   // a hex line is shown once it is longer
constexpr int kTerminalPollMs = 100;  // one read wait; commands are seen in between
// A terminal job waits this long without any progress of the previous loop before it
// gives up instead of opening a port that its predecessor still holds.
constexpr int kTerminalHandOverMs = 10000;

// The loop's own send buffer: the command text is copied here from the queued request
// just before it is sent. Only the loop that holds the port touches it.
extern char g_sendBuffer[kSendBufferBytes];

// A terminal job calls this before it opens the port. It waits until the previous
// terminal loop has closed the port and claims the next terminal session for the
// calling thread. False when the job must not open the port at all (g_jobCancel set,
// or the previous loop did not let go within kTerminalHandOverMs): the job then ends
// quietly. portName is the job's port, so sessions begun on different ports are
// served in order; nullptr takes the next session whatever its port.
[[nodiscard]] bool WaitForTerminalIdle(const char* portName = nullptr);

// Starts a terminal job on its own detached thread, as StartJob does, but claims the
// terminal session (WaitForTerminalIdle) before the job opens the port, so the job
// never finds the port still held by the loop it follows.
void StartTerminalJob(const JobRequest& request);

// Runs the terminal on handle until the dialog stops it, a reopen fails, the device is
// lost or g_jobCancel is set. Closes the port before it returns; always returns 0. A
// caller that did not claim a session with WaitForTerminalIdle gets one claimed here.
int RunTerminal(PortHandle handle);
// Number of terminal loops running at this moment (0 or 1 unless something is wrong).
int RunningTerminalLoops();
// Number of Send commands written to a port since the program started.
long TerminalSendsWritten();
void ShowTerminalLine(const char* text);
int ParseHexCommand(char* buffer);

}  // namespace zelvar
