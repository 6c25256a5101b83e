// Ctrl-C and termination requests, taken on a thread of their own (so no handler runs
// inside a signal context). The first request calls the command's stop action; a
// second one ends the program at once. On Linux the requests are SIGINT, SIGTERM and
// SIGHUP (signal_watch_posix.cpp); on Windows Ctrl-C, Ctrl-Break and closing the
// console window (signal_watch_win32.cpp).
#pragma once

#include <functional>

namespace zelvar::cli {

constexpr int kExitInterrupted = 130;  // the shell's code for a program ended by Ctrl-C

// Blocks SIGINT, SIGTERM and SIGHUP in the calling thread and in every thread it starts
// later (nothing to do on Windows). Call first thing in main, before any thread exists.
void BlockStopSignals();

// Starts the watching thread (once); onStop runs on it at the first request.
void WatchStopSignals(std::function<void()> onStop);

}  // namespace zelvar::cli
