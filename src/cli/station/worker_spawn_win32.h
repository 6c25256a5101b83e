// Starting a worker on Windows: CreateProcessW of this program, suspended until it is in
// the station's job object, with only its two output pipes inherited.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace zelvar::cli {

struct SpawnedWorker {
    HANDLE process = nullptr;
    HANDLE stopEvent = nullptr;  // signalled to ask the worker to stop (worker_stop_event.h)
    HANDLE out = nullptr;        // the read ends of its standard output and error
    HANDLE err = nullptr;
};

// The command line CommandLineToArgvW (and the C runtime) splits back into program and
// arguments.
std::wstring WindowsCommandLine(const std::string& program,
                                const std::vector<std::string>& arguments);

// Starts program with arguments in job: no console and no standard input, its output
// on pipes, a process group of its own. False, with error set, when it could not be
// started (a process that could not be put in the job is ended again).
bool SpawnWorker(const std::string& program, const std::vector<std::string>& arguments, HANDLE job,
                 SpawnedWorker& worker, std::string& error);

}  // namespace zelvar::cli
