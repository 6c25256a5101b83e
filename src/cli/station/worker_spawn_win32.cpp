#include "cli/station/worker_spawn_win32.h"

#include <memory>

#include "base/system_error.h"
#include "base/wide_text.h"
#include "cli/station/worker_spawn.h"
#include "cli/worker_stop_event.h"

namespace zelvar::cli {

namespace {

constexpr DWORD kCreationFlags =
    CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP | DETACHED_PROCESS | EXTENDED_STARTUPINFO_PRESENT;

struct PipeEnds {
    HANDLE read = nullptr;
    HANDLE write = nullptr;  // inheritable
};

void CloseHandleOnce(HANDLE& handle) {
    if (handle != nullptr) CloseHandle(handle);
    handle = nullptr;
}

bool OpenPipe(PipeEnds& ends) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    if (!CreatePipe(&ends.read, &ends.write, &inheritable, 0)) return false;
    return SetHandleInformation(ends.read, HANDLE_FLAG_INHERIT, 0) != 0;
}

// An argument as the C runtime reads it back: quoted when it holds blanks or quotes,
// with the backslashes before a quote (and before the closing quote) doubled.
std::wstring QuotedArgument(const std::wstring& text) {
    if (!text.empty() && text.find_first_of(L" \t\n\v\"") == std::wstring::npos) return text;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : text) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

std::string LastError(const std::string& what) {
    return what + ": " + SystemErrorText(static_cast<int>(GetLastError()));
}

// The attribute list that lets the child inherit the handles given and nothing else.
struct HandleList {
    std::unique_ptr<char[]> storage;
    LPPROC_THREAD_ATTRIBUTE_LIST list = nullptr;
    HANDLE handles[2];

    HandleList(HANDLE first, HANDLE second) : handles{first, second} {}
    ~HandleList() {
        if (list != nullptr) DeleteProcThreadAttributeList(list);
    }
    bool Make() {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage = std::make_unique<char[]>(size);
        auto* candidate = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.get());
        if (!InitializeProcThreadAttributeList(candidate, 1, 0, &size)) return false;
        list = candidate;
        return UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles,
                                         sizeof handles, nullptr, nullptr) != 0;
    }
};

bool CreateSuspended(const std::string& program, const std::vector<std::string>& arguments,
                     const PipeEnds& out, const PipeEnds& err, PROCESS_INFORMATION& info,
                     std::string& error) {
    HandleList inherited(out.write, err.write);
    if (!inherited.Make()) {
        error = LastError("cannot start " + program);
        return false;
    }
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdOutput = out.write;
    startup.StartupInfo.hStdError = err.write;
    startup.lpAttributeList = inherited.list;
    const std::wstring path = WideFromUtf8(program.c_str());
    std::wstring commandLine = WindowsCommandLine(program, arguments);
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE, kCreationFlags,
                        nullptr, nullptr, &startup.StartupInfo, &info)) {
        error = LastError("cannot start " + program);
        return false;
    }
    return true;
}

// The stop event, the job, then the first instruction: the worker never runs outside
// the job nor before its stop event exists.
bool Launch(const PROCESS_INFORMATION& info, HANDLE job, SpawnedWorker& worker,
            std::string& error) {
    const std::wstring name = WorkerStopEventName(info.dwProcessId);
    worker.stopEvent = CreateEventW(nullptr, FALSE, FALSE, name.c_str());
    if (worker.stopEvent == nullptr) {
        error = LastError("cannot make the worker's stop event");
    } else if (!AssignProcessToJobObject(job, info.hProcess)) {
        error = LastError("cannot put the worker in the station's job");
    } else if (ResumeThread(info.hThread) == static_cast<DWORD>(-1)) {
        error = LastError("cannot run the worker");
    } else {
        return true;
    }
    TerminateProcess(info.hProcess, 1);
    CloseHandleOnce(worker.stopEvent);
    return false;
}

}  // namespace

std::wstring WindowsCommandLine(const std::string& program,
                                const std::vector<std::string>& arguments) {
    // The program name is read up to the closing quote, without escapes.
    std::wstring line = L"\"" + WideFromUtf8(program.c_str()) + L"\"";
    for (const std::string& argument : arguments) {
        line += L' ';
        line += QuotedArgument(WideFromUtf8(argument.c_str()));
    }
    return line;
}

std::string OwnProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return "";
        if (n < path.size()) return Utf8FromWide(path.c_str(), static_cast<int>(n));
        path.resize(path.size() * 2);
    }
}

bool SpawnWorker(const std::string& program, const std::vector<std::string>& arguments, HANDLE job,
                 SpawnedWorker& worker, std::string& error) {
    PipeEnds out, err;
    PROCESS_INFORMATION info{};
    bool started = OpenPipe(out) && OpenPipe(err);
    if (!started) error = LastError("cannot make a pipe");
    started = started && CreateSuspended(program, arguments, out, err, info, error) &&
              Launch(info, job, worker, error);
    CloseHandleOnce(out.write);
    CloseHandleOnce(err.write);
    CloseHandleOnce(info.hThread);
    if (!started) {
        CloseHandleOnce(info.hProcess);
        CloseHandleOnce(out.read);
        CloseHandleOnce(err.read);
        return false;
    }
    worker.process = info.hProcess;
    worker.out = out.read;
    worker.err = err.read;
    return true;
}

}  // namespace zelvar::cli
