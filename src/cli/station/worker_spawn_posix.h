// Starting a worker on Linux: posix_spawn with its output on non-blocking pipes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace zelvar::cli {

struct SpawnedWorker {
    pid_t pid = -1;
    int out = -1;  // the read ends, non-blocking and close-on-exec
    int err = -1;
};

// Starts program with arguments, standard input on /dev/null. The child gets the
// default dispositions and an empty signal mask (this process blocks its stop signals),
// and a process group of its own: a Ctrl-C on the terminal reaches the station alone,
// which passes it on once. False, with error set, when it could not be started.
bool SpawnWorker(const std::string& program, const std::vector<std::string>& arguments,
                 SpawnedWorker& worker, std::string& error);

}  // namespace zelvar::cli
