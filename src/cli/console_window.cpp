#include "cli/console_window.h"

#include <unistd.h>

#include <cstdio>

#include "base/resource_ids.h"

namespace zelvar::cli {

namespace {

constexpr int kAnswerBytes = 64;

}  // namespace

CConsoleWindow::CConsoleWindow(CConsoleOutput& output, AnswerPolicy policy)
    : m_output(output), m_policy(policy) {
    SetAnswerer([this](const Question& question) { return Decide(question); });
}

void CConsoleWindow::SetText(int id, std::string_view text) {
    CHeadlessWindow::SetText(id, text);
    if (id == IDC_STATUS) m_output.Status(text);
}

int CConsoleWindow::ListAdd(int id, std::string_view text) {
    const int index = CHeadlessWindow::ListAdd(id, text);
    if (id == IDC_MESSAGE_LIST) m_output.Message(text);
    return index;
}

bool CConsoleWindow::AskUser(std::string_view text, std::string_view caption, AskButtons buttons,
                             AskIcon icon) {
    const bool answer = CHeadlessWindow::AskUser(text, caption, buttons, icon);
    if (buttons == AskButtons::Ok) {
        m_output.Alert(caption, text);
    } else {
        m_output.Question(caption, text, answer);
    }
    return answer;
}

bool CConsoleWindow::Decide(const Question& question) {
    if (question.buttons == AskButtons::Ok) return true;
    switch (m_policy) {
        case AnswerPolicy::AlwaysYes:
            return true;
        case AnswerPolicy::AlwaysNo:
            return false;
        case AnswerPolicy::Ask:
            break;
    }
    if (!isatty(STDIN_FILENO)) return false;
    return AskOnTerminal(question);
}

bool CConsoleWindow::AskOnTerminal(const Question& question) {
    m_output.ClearBottomLine();
    std::fprintf(stderr, "%s\n%s [y/N] ", PrintableText(question.caption).c_str(),
                 PrintableText(question.text).c_str());
    std::fflush(stderr);
    char answer[kAnswerBytes] = {};
    if (!std::fgets(answer, sizeof answer, stdin)) {
        std::fputc('\n', stderr);
        return false;
    }
    return answer[0] == 'y' || answer[0] == 'Y';
}

}  // namespace zelvar::cli
