#include "cli/cli_session.h"

#include <atomic>
#include <cstdio>

#include "app/log_location.h"
#include "base/message_log.h"
#include "upload/upload_progress.h"

namespace zelvar::cli {

namespace {

// The display that programming progress goes to; the hook is a plain function.
std::atomic<CConsoleOutput*> g_progressOutput{nullptr};

void ShowUploadProgress(uint32_t bytesDone, uint32_t bytesTotal) {
    if (CConsoleOutput* output = g_progressOutput.load()) output->Progress(bytesDone, bytesTotal);
}

}  // namespace

CCliSession::CCliSession(const SessionOptions& options)
    : m_output(ChooseDisplayMode(options.json), stdout, stderr),
      m_window(std::make_shared<CConsoleWindow>(m_output, options.policy)) {
    SetMainWindow(m_window);
    g_progressOutput.store(&m_output);
    SetUploadProgressHook(ShowUploadProgress);
    if (options.writeLog) OpenLog(options);
}

CCliSession::~CCliSession() {
    SetUploadProgressHook(nullptr);
    g_progressOutput.store(nullptr);
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

}  // namespace zelvar::cli
