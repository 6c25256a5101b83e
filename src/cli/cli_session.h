// One run of a command that works through the loader's handlers: the console display
// and its event sink, the console main window and the log file, set up for the length
// of the command and removed again.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cli/console_output.h"
#include "cli/console_sink.h"
#include "cli/console_window.h"
#include "cli/line_figures.h"

namespace zelvar::cli {

struct SessionOptions {
    bool json = false;
    AnswerPolicy policy = AnswerPolicy::Ask;
    bool writeLog = true;
    std::string logPath;  // empty: "Zelvar.txt" in the program's directory
    std::string port;     // the unit's port, named in every JSON line; empty: none
};

class CCliSession {
  public:
    explicit CCliSession(const SessionOptions& options);
    ~CCliSession();
    CCliSession(const CCliSession&) = delete;
    CCliSession& operator=(const CCliSession&) = delete;

    CConsoleOutput& Output() { return m_output; }
    CConsoleWindow& Window() { return *m_window; }
    // Reports the command's verdict (JSON) and clears the bottom line; returns code.
    int Finish(int code, const char* text);
    // The same for flash, whose verdict also names the receiver's state and the reason,
    // and gives the line figures of a job that sent frames.
    int FinishFlash(int code, const std::string& text, const char* state, const std::string& reason,
                    const std::optional<LineFigures>& line);

  private:
    void OpenLog(const SessionOptions& options);

    CConsoleOutput m_output;
    std::shared_ptr<CConsoleWindow> m_window;
    std::shared_ptr<CConsoleSink> m_sink;
};

}  // namespace zelvar::cli
