#include "zelvar_process.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

extern char** environ;

namespace zelvar::test {

namespace {

constexpr int kPollSliceMs = 20;

using Clock = std::chrono::steady_clock;

struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) == 0) read = fds[0], write = fds[1];
    }
};

// argv and envp are built before the fork: the child of a threaded process may only
// make async-signal-safe calls until it execs.
struct ChildVectors {
    std::vector<std::string> strings;
    std::vector<char*> argv;
    std::vector<char*> envp;
};

void BuildVectors(const std::string& program, const ProcessOptions& options, ChildVectors& v) {
    v.strings.push_back(program);
    v.strings.insert(v.strings.end(), options.args.begin(), options.args.end());
    const std::size_t argc = v.strings.size();
    for (char** e = environ; *e != nullptr; ++e) {
        if (!options.runtimeDir.empty() && std::strncmp(*e, "XDG_RUNTIME_DIR=", 16) == 0) continue;
        v.strings.emplace_back(*e);
    }
    if (!options.runtimeDir.empty()) v.strings.push_back("XDG_RUNTIME_DIR=" + options.runtimeDir);
    for (std::size_t i = 0; i < v.strings.size(); ++i) {
        (i < argc ? v.argv : v.envp).push_back(v.strings[i].data());
    }
    v.argv.push_back(nullptr);
    v.envp.push_back(nullptr);
}

pid_t Spawn(ChildVectors& v, Pipe& in, Pipe& out, Pipe& err) {
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in.read, STDIN_FILENO);
        dup2(out.write, STDOUT_FILENO);
        dup2(err.write, STDERR_FILENO);
        // No pty master or other descriptor of the test may live on in the child.
        close_range(3, ~0U, 0);
        execve(v.argv[0], v.argv.data(), v.envp.data());
        _exit(127);
    }
    close(in.read);
    close(in.write);  // standard input is an empty pipe: no terminal, no answers
    close(out.write);
    close(err.write);
    return pid;
}

bool Drain(int fd, std::string& into) {
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) into.append(buffer, static_cast<size_t>(n));
    return n > 0;
}

}  // namespace

std::string ZelvarPath() {
    return std::string(ZELVAR_BINARY_DIR) + "/src/cli/zelvar";
}

ProcessRun RunProcess(const std::string& program, const ProcessOptions& options) {
    ProcessRun run;
    ChildVectors vectors;
    BuildVectors(program, options, vectors);
    Pipe in, out, err;
    const auto start = Clock::now();
    const pid_t pid = Spawn(vectors, in, out, err);
    if (pid < 0) return run;
    const auto deadline =
        start + std::chrono::milliseconds(static_cast<long>(options.limitSeconds * 1000));
    bool outOpen = true, errOpen = true, killed = false;
    while ((outOpen || errOpen) && Clock::now() < deadline) {
        pollfd fds[2] = {{outOpen ? out.read : -1, POLLIN, 0},
                         {errOpen ? err.read : -1, POLLIN, 0}};
        if (poll(fds, 2, kPollSliceMs) <= 0) continue;
        if (fds[0].revents != 0) outOpen = Drain(out.read, run.out);
        if (fds[1].revents != 0) errOpen = Drain(err.read, run.err);
        if (!killed && options.killWhen && options.killWhen(run.out)) {
            kill(pid, options.killSignal);
            killed = true;
        }
    }
    run.overLimit = outOpen || errOpen;
    if (run.overLimit) kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    close(out.read);
    close(err.read);
    if (WIFEXITED(status) && !run.overLimit) run.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    return run;
}

}  // namespace zelvar::test
