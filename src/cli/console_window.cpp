#include "cli/console_window.h"

#include <cstdio>

#include "cli/console_terminal.h"

namespace zelvar::cli {

namespace {

constexpr int kAnswerBytes = 64;

}  // namespace

CConsoleWindow::CConsoleWindow(CConsoleOutput& output, AnswerPolicy policy)
    : m_output(output), m_policy(policy) {
    SetAnswerer([this](const Question& question) { return Decide(question); });
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
    if (!InputIsTerminal()) return false;
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
