// The command line's main window: the headless window's controls, with the message
// boxes answered by the command's policy or on the terminal. What the loader reports
// reaches the console as events (console_sink.h), not through this window.
#pragma once

#include "base/headless_window.h"
#include "cli/console_output.h"

namespace zelvar::cli {

// How a Yes/No question (the PFLD update) is answered.
enum class AnswerPolicy {
    Ask,  // ask on the terminal; No when standard input is not a terminal
    AlwaysYes,
    AlwaysNo,
};

class CConsoleWindow : public CHeadlessWindow {
  public:
    CConsoleWindow(CConsoleOutput& output, AnswerPolicy policy);

  private:
    bool Decide(const Question& question);
    bool AskOnTerminal(const Question& question);

    CConsoleOutput& m_output;
    AnswerPolicy m_policy;
};

}  // namespace zelvar::cli
