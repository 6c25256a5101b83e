#include "cli/station/worker_spawn_posix.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <cstring>

#include "cli/station/worker_spawn.h"

extern char** environ;

namespace zelvar::cli {

namespace {

struct PipeEnds {
    int read = -1;
    int write = -1;
};

bool OpenPipe(PipeEnds& ends) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    ends.read = fds[0];
    ends.write = fds[1];
    fcntl(ends.read, F_SETFL, fcntl(ends.read, F_GETFL) | O_NONBLOCK);
    return true;
}

void ClosePipe(PipeEnds& ends) {
    if (ends.read >= 0) close(ends.read);
    if (ends.write >= 0) close(ends.write);
    ends = {};
}

// Default dispositions and an empty mask for the child; a process group of its own.
void PrepareAttributes(posix_spawnattr_t& attributes) {
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
}

int Spawn(const std::string& program, const std::vector<std::string>& arguments,
          const PipeEnds& out, const PipeEnds& err, pid_t& pid) {
    std::vector<std::string> strings{program};
    strings.insert(strings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.write, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err.write, STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    PrepareAttributes(attributes);
    const int result =
        posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return result;
}

}  // namespace

std::string OwnProgramPath() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "";
    return std::string(path, static_cast<std::size_t>(n));
}

bool SpawnWorker(const std::string& program, const std::vector<std::string>& arguments,
                 SpawnedWorker& worker, std::string& error) {
    PipeEnds out, err;
    if (!OpenPipe(out) || !OpenPipe(err)) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        ClosePipe(out);
        ClosePipe(err);
        return false;
    }
    const int result = Spawn(program, arguments, out, err, worker.pid);
    close(out.write);
    close(err.write);
    if (result != 0) {
        error = "cannot start " + program + ": " + std::strerror(result);
        close(out.read);
        close(err.read);
        return false;
    }
    worker.out = out.read;
    worker.err = err.read;
    return true;
}

}  // namespace zelvar::cli
