// The command line's main window: the headless window's controls, with the message
// list and the status line shown on the console as they change, and the message
// boxes answered on the console.
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

    void SetText(int id, std::string_view text) override;
    int ListAdd(int id, std::string_view text) override;
    bool AskUser(std::string_view text, std::string_view caption, AskButtons buttons,
                 AskIcon icon) override;

  private:
    bool Decide(const Question& question);
    bool AskOnTerminal(const Question& question);

    CConsoleOutput& m_output;
    AnswerPolicy m_policy;
};

}  // namespace zelvar::cli
