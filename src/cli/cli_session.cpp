#include "cli/cli_session.h"

#include <cstdio>

#include "app/log_location.h"
#include "base/message_log.h"

namespace zelvar::cli {

CCliSession::CCliSession(const SessionOptions& options)
    : m_output(ChooseDisplayMode(options.json), stdout, stderr),
      m_window(std::make_shared<CConsoleWindow>(m_output, options.policy)),
      m_sink(std::make_shared<CConsoleSink>(m_output)) {
    if (!options.port.empty()) m_output.SetJobContext(options.port);
    SetMainWindow(m_window);
    AddEventSink(m_sink);
    if (options.writeLog) OpenLog(options);
}

CCliSession::~CCliSession() {
    RemoveEventSink(m_sink);
    CloseLogFile();
    SetMainWindow(nullptr);
    m_output.ClearBottomLine();
}

void CCliSession::OpenLog(const SessionOptions& options) {
    if (!options.logPath.empty()) {
        OpenLogFileAt(options.logPath.c_str());
        if (!IsLogFileOpen()) m_output.Note(LogProblemText(options.logPath));
        return;
    }
    const std::string problem = LogProblemText(OpenDefaultLogFile());
    if (!problem.empty()) m_output.Note(problem);
}

int CCliSession::Finish(int code, const char* text) {
    m_output.Result(code, text);
    m_output.ClearBottomLine();
    return code;
}

int CCliSession::FinishFlash(int code, const std::string& text, const char* state,
                             const std::string& reason, const std::optional<LineFigures>& line) {
    m_output.FlashResult(code, text, state, reason, line);
    m_output.ClearBottomLine();
    return code;
}

}  // namespace zelvar::cli
