#include "zelvar_runner.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>

extern char** environ;

namespace zelvar::test {

namespace {

constexpr int kPollSliceMs = 20;
constexpr unsigned short kTerminalColumns = 80;
constexpr unsigned short kTerminalRows = 24;
constexpr const char* kRuntimeVariable = "XDG_RUNTIME_DIR=";

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

void BuildVectors(const ZelvarOptions& options, ChildVectors& v) {
    v.strings.push_back(options.program.empty() ? ZelvarBinary() : options.program);
    v.strings.insert(v.strings.end(), options.args.begin(), options.args.end());
    const std::size_t argc = v.strings.size();
    const bool ownRuntime = !options.runtimeDir.empty();
    for (char** e = environ; *e != nullptr; ++e) {
        if (ownRuntime && std::strncmp(*e, kRuntimeVariable, std::strlen(kRuntimeVariable)) == 0)
            continue;
        v.strings.emplace_back(*e);
    }
    if (ownRuntime) v.strings.push_back(kRuntimeVariable + options.runtimeDir);
    for (std::size_t i = 0; i < v.strings.size(); ++i) {
        (i < argc ? v.argv : v.envp).push_back(v.strings[i].data());
    }
    v.argv.push_back(nullptr);
    v.envp.push_back(nullptr);
}

[[noreturn]] void Exec(ChildVectors& v) {
    // No pty master (the simulated receiver's above all) or other descriptor of the test
    // may live on in the child.
    close_range(3, ~0U, 0);
    execve(v.argv[0], v.argv.data(), v.envp.data());
    _exit(127);
}

// The test's ends of a started child.
struct Child {
    pid_t pid = -1;
    int out = -1;    // standard output; on a terminal its master side
    int err = -1;    // standard error; -1 on a terminal
    int input = -1;  // standard input; on a terminal its master side
};

Child SpawnOnPipes(ChildVectors& v) {
    Pipe in, out, err;
    Child child;
    child.pid = fork();
    if (child.pid == 0) {
        dup2(in.read, STDIN_FILENO);
        dup2(out.write, STDOUT_FILENO);
        dup2(err.write, STDERR_FILENO);
        Exec(v);
    }
    close(in.read);
    close(out.write);
    close(err.write);
    child.input = in.write;
    child.out = out.read;
    child.err = err.read;
    return child;
}

Child SpawnOnTerminal(ChildVectors& v) {
    winsize size{};
    size.ws_col = kTerminalColumns;
    size.ws_row = kTerminalRows;
    Child child;
    int master = -1;
    child.pid = forkpty(&master, nullptr, nullptr, &size);
    if (child.pid == 0) Exec(v);
    child.out = master;
    child.input = master;
    return child;
}

void CloseEnds(Child& child) {
    if (child.input >= 0 && child.input != child.out) close(child.input);
    if (child.out >= 0) close(child.out);
    if (child.err >= 0) close(child.err);
    child.input = child.out = child.err = -1;
}

// Writes the input; a pipe is closed after it.
void Type(Child& child, const ZelvarOptions& options) {
    if (!options.input.empty()) {
        ssize_t written = write(child.input, options.input.data(), options.input.size());
        (void)written;
    }
    if (child.input != child.out) {
        close(child.input);
        child.input = -1;
    }
}

bool Drain(int fd, std::string& into) {
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) into.append(buffer, static_cast<size_t>(n));
    return n > 0;  // a terminal's master reads EIO once the child has gone
}

// Reads the child's output until it closes or the limit passes, typing and signalling
// as the options say; true when the output closed in time.
bool Collect(Child& child, const ZelvarOptions& options, Clock::time_point start, ZelvarRun& run) {
    const auto deadline =
        start + std::chrono::milliseconds(static_cast<long>(options.limitSeconds * 1000));
    bool outOpen = true, errOpen = child.err >= 0, killed = false;
    bool typed = options.prompt.empty();
    if (typed) Type(child, options);
    while ((outOpen || errOpen) && Clock::now() < deadline) {
        pollfd fds[2] = {{outOpen ? child.out : -1, POLLIN, 0},
                         {errOpen ? child.err : -1, POLLIN, 0}};
        if (poll(fds, 2, kPollSliceMs) <= 0) continue;
        if (fds[0].revents != 0) outOpen = Drain(child.out, run.out);
        if (fds[1].revents != 0) errOpen = Drain(child.err, run.err);
        if (!typed && run.out.find(options.prompt) != std::string::npos) {
            Type(child, options);
            typed = true;
        }
        if (!killed && options.killWhen && options.killWhen(run.out)) {
            kill(child.pid, options.killSignal);
            killed = true;
        }
    }
    return !(outOpen || errOpen);
}

ZelvarOptions OptionsFor(const std::vector<std::string>& args, int limitSeconds) {
    ZelvarOptions options;
    options.args = args;
    options.limitSeconds = limitSeconds;
    return options;
}

}  // namespace

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

ZelvarRun RunZelvarWith(const ZelvarOptions& options) {
    ZelvarRun run;
    ChildVectors vectors;
    BuildVectors(options, vectors);
    const auto start = Clock::now();
    Child child = options.onTerminal ? SpawnOnTerminal(vectors) : SpawnOnPipes(vectors);
    if (child.pid < 0) {
        CloseEnds(child);
        return run;
    }
    run.overLimit = !Collect(child, options, start, run);
    if (run.overLimit) kill(child.pid, SIGKILL);
    int status = 0;
    waitpid(child.pid, &status, 0);
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    CloseEnds(child);
    if (WIFEXITED(status) && !run.overLimit) run.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    return run;
}

ZelvarRun RunZelvar(const std::vector<std::string>& args, const std::string& input,
                    int limitSeconds) {
    ZelvarOptions options = OptionsFor(args, limitSeconds);
    options.input = input;
    return RunZelvarWith(options);
}

ZelvarRun RunZelvarInterrupted(const std::vector<std::string>& args, const std::string& marker,
                               int limitSeconds) {
    ZelvarOptions options = OptionsFor(args, limitSeconds);
    options.killWhen = [marker](const std::string& out) {
        return out.find(marker) != std::string::npos;
    };
    options.killSignal = SIGINT;
    return RunZelvarWith(options);
}

ZelvarRun RunZelvarOnTerminal(const std::vector<std::string>& args, const std::string& prompt,
                              const std::string& answer, int limitSeconds) {
    ZelvarOptions options = OptionsFor(args, limitSeconds);
    options.input = answer;
    options.prompt = prompt;
    options.onTerminal = true;
    return RunZelvarWith(options);
}

}  // namespace zelvar::test
