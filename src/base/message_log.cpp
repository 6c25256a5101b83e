#include "base/message_log.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

#include "base/builtin_sinks.h"
#include "base/log_file.h"
#include "base/main_window.h"
#include "base/resource_ids.h"
#include "base/shared_state.h"
#include "base/system_error.h"

namespace zelvar {

namespace {

constexpr std::size_t kLogPathChars = 259;
constexpr std::size_t kHeaderBytes = 259;

// The log file: one per program run, shared by the dialog's thread and the worker.
struct LogFile {
    std::mutex mutex;
    LogFileHandle fd = kNoLogFile;
    std::string path;           // of the open file
    bool failureShown = false;  // a failed write of this file has been reported
};

LogFile& Log() {
    static LogFile log;
    return log;
}

void OpenLocked(const char* path) {
    CloseLogFile();
    const LogFileHandle fd = OpenLockedLogFile(path);
    if (fd == kNoLogFile) return;
    char header[kHeaderBytes + 1] = {};
    std::snprintf(header, sizeof header - 2, "%s %s", kStrLoaderName, kStrVersion);
    std::strcat(header, "\r\n");
    int error = 0;
    (void)WriteLogFileDurably(fd, header, std::strlen(header), error);
    std::lock_guard lock(Log().mutex);
    Log().fd = fd;
    Log().path = path;
    Log().failureShown = false;
}

// The first failed write of a log file is said in the message list and to every sink
// (the log itself cannot take it); later failures of the same file are not repeated.
void ShowLogFailure(const std::string& path, int error) {
    char text[kLogLineBytes + 1];
    std::snprintf(text, sizeof text,
                  "Cannot write the log file %s (%s); lines are missing from it.", path.c_str(),
                  SystemErrorText(error));
    LogLine(text);
}

}  // namespace

void CreateLogFile(const char* directory) {
    char path[kLogPathChars + 2] = {};
    int n = std::snprintf(path, sizeof path, "%s%s", directory, kLogFileName);
    if (n < 0 || static_cast<std::size_t>(n) > kLogPathChars) return;  // too long: no log
    OpenLocked(path);
}

void OpenLogFileAt(const char* path) {
    OpenLocked(path);
}

void CloseLogFile() {
    std::lock_guard lock(Log().mutex);
    CloseLogFileHandle(Log().fd);
    Log().fd = kNoLogFile;
}

std::string LogFilePath() {
    std::lock_guard lock(Log().mutex);
    return Log().fd != kNoLogFile ? Log().path : std::string();
}

bool IsLogFileOpen() {
    std::lock_guard lock(Log().mutex);
    return Log().fd != kNoLogFile;
}

namespace {

// Appends one line, cut at its first zero byte and at kLogLineBytes (between two
// characters); false (with the file and the reason) only for the first failed write of
// a log file, so that a failure is said once.
bool AppendLogLine(std::string_view text, std::string& failedPath, int& error) {
    text = text.substr(0, text.find('\0'));
    char line[kLogLineBytes + 2];
    const std::size_t n = Utf8Prefix(text, kLogLineBytes);
    std::memcpy(line, text.data(), n);
    line[n] = '\r';
    line[n + 1] = '\n';
    std::lock_guard lock(Log().mutex);
    if (Log().fd == kNoLogFile) return true;
    // On storage before the report returns, so the log survives a crash.
    int failure = 0;
    if (WriteLogFileDurably(Log().fd, line, n + 2, failure) || Log().failureShown) return true;
    error = failure;
    Log().failureShown = true;
    failedPath = Log().path;
    return false;
}

// A failure met while an event was being stored, said once that event has reached
// every front end, so that the note follows the line it is about.
struct PendingLogFailure {
    bool pending = false;
    std::string path;
    int error = 0;
};
thread_local PendingLogFailure t_pendingFailure;

}  // namespace

void WriteLogLine(const char* text) {
    std::string failedPath;
    int error = 0;
    if (!AppendLogLine(text != nullptr ? text : "", failedPath, error)) {
        ShowLogFailure(failedPath, error);
    }
}

void WriteEventToLogFile(const LoaderEvent& event) {
    if (event.kind != EventKind::Message && event.kind != EventKind::Status) return;
    PendingLogFailure& failure = t_pendingFailure;
    if (!AppendLogLine(event.text, failure.path, failure.error)) failure.pending = true;
}

void ReportPendingLogFailure() {
    PendingLogFailure& failure = t_pendingFailure;
    if (!failure.pending) return;
    failure.pending = false;
    ShowLogFailure(failure.path, failure.error);
}

void LogLine(const char* text) {
    PublishText(EventKind::Message, text);
}

void LogAnsiLine(const char* text) {
    char wide[kAnsiLineChars * 4 + 1];
    std::size_t n = Utf8CharPrefix(text, kAnsiLineChars);
    std::memcpy(wide, text, n);
    wide[n] = '\0';
    LogLine(wide);
}

void ShowStatus(const char* text) {
    PublishText(EventKind::Status, text);
}

namespace {

std::atomic<JobControlsSwitch> g_jobControlsSwitch{nullptr};

}  // namespace

void SetJobControlsSwitch(JobControlsSwitch change) {
    g_jobControlsSwitch = change;
}

void SetJobControls(bool enable, bool success) {
    const JobControlsSwitch change = g_jobControlsSwitch.load();
    std::shared_ptr<IMainWindow> window = GetMainWindow();
    if (change && window) change(*window, enable);
    if (enable) {
        g_uploadBusy = false;
        // The end first: the window's progress is gone when the verdict shows.
        LoaderEvent event;
        event.kind = EventKind::JobEnd;
        event.success = success;
        PublishEvent(event);
        LogLine(success ? "Upload complete" : "Upload failed");
    }
}

}  // namespace zelvar
