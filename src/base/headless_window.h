// A main window without a toolkit: every control's state is kept in memory. Tests read
// it back, and the command line answers the loader's questions through it.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/main_window.h"

namespace zelvar {

class CHeadlessWindow : public IMainWindow {
  public:
    struct Question {
        std::string text;
        std::string caption;
        AskButtons buttons;
        AskIcon icon;
    };
    // Decides the answer to AskUser; without one every question is answered No.
    using Answerer = std::function<bool(const Question&)>;

    CHeadlessWindow();

    void SetText(int id, std::string_view text) override;
    std::string GetText(int id) override;
    void Enable(int id, bool enable) override;
    bool IsEnabled(int id) override;
    void Show(int id, bool show) override;
    bool IsShown(int id) override;
    void SetFocus(int id) override;
    int ListAdd(int id, std::string_view text) override;
    void ListDelete(int id, int index) override;
    void ListSelect(int id, int index) override;
    int ListSelection(int id) override;
    int ListCount(int id) override;
    std::string ListItem(int id, int index) override;
    void ListReset(int id) override;
    void Repaint(int id) override;
    void ShowProgress(int id, int percent) override;
    bool AskUser(std::string_view text, std::string_view caption, AskButtons buttons,
                 AskIcon icon) override;
    void ShowAbout(std::string_view title, std::string_view text) override;
    void EndDialog() override;

    // Test and front-end helpers.
    void SetAnswerer(Answerer answerer);
    void SetSorted(int id, bool sorted);
    std::vector<std::string> ListItems(int id);
    std::vector<Question> Questions();
    // Every About box shown, as (title, text).
    std::vector<std::pair<std::string, std::string>> AboutBoxes();
    bool Ended();  // EndDialog was called
    int Focus();
    int RepaintCount(int id);
    int Progress(int id);  // the last ShowProgress, kNoProgress before any

  private:
    struct Control {
        std::string text;
        bool enabled = true;
        bool shown = true;
        bool sorted = false;
        int selection = -1;
        int repaints = 0;
        int progress = kNoProgress;
        std::vector<std::string> items;
    };
    Control& At(int id);  // caller holds m_mutex

    std::mutex m_mutex;
    std::map<int, Control> m_controls;
    std::vector<Question> m_questions;
    std::vector<std::pair<std::string, std::string>> m_aboutShown;
    Answerer m_answerer;
    int m_focus = 0;
    bool m_ended = false;
};

}  // namespace zelvar
