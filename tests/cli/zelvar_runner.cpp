#include "zelvar_runner.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>

namespace zelvar::test {

namespace {

constexpr int kPollSliceMs = 50;

struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) == 0) read = fds[0], write = fds[1];
    }
};

std::vector<char*> Argv(std::vector<std::string>& all) {
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    return argv;
}

pid_t Spawn(const std::vector<std::string>& args, Pipe& in, Pipe& out, Pipe& err) {
    std::vector<std::string> all{ZelvarBinary()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv = Argv(all);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in.read, STDIN_FILENO);
        dup2(out.write, STDOUT_FILENO);
        dup2(err.write, STDERR_FILENO);
        // Nothing else of the test process (the simulated receiver's pty master above
        // all) may live on in the child.
        close_range(3, ~0U, 0);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in.read);
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

ZelvarRun Run(const std::vector<std::string>& args, const std::string& input,
              const std::string& marker, int limitSeconds) {
    Pipe in, out, err;
    ZelvarRun run;
    const pid_t pid = Spawn(args, in, out, err);
    if (pid < 0) return run;
    if (!input.empty()) {
        ssize_t written = write(in.write, input.data(), input.size());
        (void)written;
    }
    close(in.write);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
    bool outOpen = true, errOpen = true, interrupted = marker.empty();
    while ((outOpen || errOpen) && std::chrono::steady_clock::now() < deadline) {
        pollfd fds[2] = {{outOpen ? out.read : -1, POLLIN, 0},
                         {errOpen ? err.read : -1, POLLIN, 0}};
        if (poll(fds, 2, kPollSliceMs) <= 0) continue;
        if (fds[0].revents != 0) outOpen = Drain(out.read, run.out);
        if (fds[1].revents != 0) errOpen = Drain(err.read, run.err);
        if (!interrupted && run.out.find(marker) != std::string::npos) {
            kill(pid, SIGINT);
            interrupted = true;
        }
    }
    if (outOpen || errOpen) kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    close(out.read);
    close(err.read);
    if (WIFEXITED(status) && !(outOpen || errOpen)) run.exitCode = WEXITSTATUS(status);
    return run;
}

}  // namespace

ZelvarRun RunZelvarOnTerminal(const std::vector<std::string>& args, const std::string& prompt,
                              const std::string& answer, int limitSeconds) {
    std::vector<std::string> all{ZelvarBinary()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv = Argv(all);
    winsize size{};
    size.ws_col = 80;
    size.ws_row = 24;
    int master = -1;
    ZelvarRun run;
    const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
    if (pid < 0) return run;
    if (pid == 0) {
        close_range(3, ~0U, 0);
        execv(argv[0], argv.data());
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
    bool open = true, answered = prompt.empty();
    while (open && std::chrono::steady_clock::now() < deadline) {
        pollfd fd{master, POLLIN, 0};
        if (poll(&fd, 1, kPollSliceMs) <= 0) continue;
        open = Drain(master, run.out);  // EIO once the child has gone
        if (!answered && run.out.find(prompt) != std::string::npos) {
            ssize_t written = write(master, answer.data(), answer.size());
            (void)written;
            answered = true;
        }
    }
    if (open) kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    close(master);
    if (WIFEXITED(status) && !open) run.exitCode = WEXITSTATUS(status);
    return run;
}

std::vector<std::string> ZelvarRun::OutLines() const {
    std::vector<std::string> lines;
    std::istringstream stream(out);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

std::string ZelvarBinary() {
    if (const char* copy = std::getenv(kZelvarCopyVariable)) return copy;
    return std::string(ZELVAR_BINARY_DIR) + "/src/cli/zelvar";
}

ZelvarRun RunZelvar(const std::vector<std::string>& args, const std::string& input,
                    int limitSeconds) {
    return Run(args, input, "", limitSeconds);
}

ZelvarRun RunZelvarInterrupted(const std::vector<std::string>& args, const std::string& marker,
                               int limitSeconds) {
    return Run(args, "", marker, limitSeconds);
}

}  // namespace zelvar::test
