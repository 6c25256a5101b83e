// The main-window seam: the small layer that stands where the old dialog framework
// stood. The message log and the dialog handlers reach the main window's controls by
// control id through it; the Qt dialog, the command line and the tests implement it.
//
// Threading contract for implementations: a call made from a thread other than the
// window's own waits until the window has handled it (as a sent window message
// would), and a call made after the window has gone is dropped.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace zelvar {

enum class AskButtons { Ok, YesNo };
enum class AskIcon { None, Information, Warning, Error };

constexpr int kNoProgress = -1;

class IMainWindow {
  public:
    virtual ~IMainWindow() = default;

    virtual void SetText(int id, std::string_view text) = 0;
    virtual std::string GetText(int id) = 0;
    virtual void Enable(int id, bool enable) = 0;
    virtual bool IsEnabled(int id) = 0;
    virtual void Show(int id, bool show) = 0;
    virtual bool IsShown(int id) = 0;
    virtual void SetFocus(int id) = 0;

    // List and combo boxes. ListAdd returns the new item's index (a sorted control
    // may place it anywhere); ListSelect(-1) clears the selection.
    virtual int ListAdd(int id, std::string_view text) = 0;
    virtual void ListDelete(int id, int index) = 0;
    virtual void ListSelect(int id, int index) = 0;
    virtual int ListSelection(int id) = 0;
    virtual int ListCount(int id) = 0;
    virtual std::string ListItem(int id, int index) = 0;
    virtual void ListReset(int id) = 0;

    // Repaint one control at once, or the whole window for IDC_WINDOW.
    virtual void Repaint(int id) = 0;

    // The share of a job done, shown by control id without changing its text: percent
    // from 0 to 100, or kNoProgress to show none.
    virtual void ShowProgress(int id, int percent) = 0;

    // A modal message box owned by the main window; true only for Yes (or OK).
    virtual bool AskUser(std::string_view text, std::string_view caption, AskButtons buttons,
                         AskIcon icon) = 0;

    // The About box (template 135), modal: returns when the user closes it.
    virtual void ShowAbout(std::string_view title, std::string_view text) = 0;

    // Ends the main window's modal run as Cancel (Escape, command id 1016).
    virtual void EndDialog() = 0;
};

// The application's main window. Reports made while none is set are dropped.
void SetMainWindow(std::shared_ptr<IMainWindow> window);
std::shared_ptr<IMainWindow> GetMainWindow();

// The shared message box: true only when the user answered Yes. With no main window
// the answer is No (or, for an OK box, false).
bool AskUser(std::string_view text, std::string_view caption, AskButtons buttons,
             AskIcon icon = AskIcon::None);

}  // namespace zelvar
