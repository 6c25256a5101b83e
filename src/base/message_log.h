// The message log: the message list (30 lines), the status line and the log file
// "Zelvar.txt". Callable from any thread; texts are UTF-8 and zero-terminated.
// LogLine, ShowStatus and SetJobControls publish their report as an event (see
// loader_events.h), which reaches the log file, the main window and every registered
// sink; WriteLogLine writes the log file alone. The first write of a log file that
// fails is said as a message of its own; the reports themselves still show.
#pragma once

#include <cstddef>
#include <string>

namespace zelvar {

constexpr int kMessageListLines = 30;        // lines the message list keeps
constexpr std::size_t kLogLineBytes = 511;   // bytes of one text the log file takes
constexpr std::size_t kAnsiLineChars = 199;  // characters LogAnsiLine takes
constexpr const char* kLogFileName = "Zelvar.txt";

void LogLine(const char* text);
void LogAnsiLine(const char* text);
void ShowStatus(const char* text);
void WriteLogLine(const char* text);
void SetJobControls(bool enable, bool success);

class IMainWindow;
// How SetJobControls switches the dialog's controls: the dialog registers it while it
// lives, and it is called with the main window when there is one. With none registered
// SetJobControls only ends the job (the command line has no controls).
using JobControlsSwitch = void (*)(IMainWindow& window, bool enable);
void SetJobControlsSwitch(JobControlsSwitch change);

// The log file. CreateLogFile makes "Zelvar.txt" afresh in directory (which ends with
// its separator), locks it against other writers and writes the header line. Any
// failure leaves the log closed, silently. OpenLogFileAt takes a full path instead.
void CreateLogFile(const char* directory);
void OpenLogFileAt(const char* path);
void CloseLogFile();
bool IsLogFileOpen();
std::string LogFilePath();  // of the open log file; "" when none is open

}  // namespace zelvar
