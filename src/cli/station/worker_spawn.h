// The worker process that flashes one unit: this program again, as
// `zelvar flash --port P --json --log LOG ... IMAGE`, with no input and its output on
// pipes the station reads. Each platform starts it in its own way
// (worker_spawn_posix.cpp, worker_spawn_win32.cpp).
#pragma once

#include <string>
#include <vector>

namespace zelvar::cli {

struct FlashOptions;

// The worker's command line after the program name.
std::vector<std::string> WorkerArguments(const FlashOptions& options, const std::string& port,
                                         const std::string& logPath);

// The running program's own path (/proc/self/exe; on Windows the module's file name).
std::string OwnProgramPath();

}  // namespace zelvar::cli
