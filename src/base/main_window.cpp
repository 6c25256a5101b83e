#include "base/main_window.h"

#include <mutex>

#include "base/loader_events.h"

namespace zelvar {

namespace {

std::mutex g_windowMutex;
std::shared_ptr<IMainWindow> g_mainWindow;

}  // namespace

void SetMainWindow(std::shared_ptr<IMainWindow> window) {
    std::lock_guard lock(g_windowMutex);
    g_mainWindow = std::move(window);
}

std::shared_ptr<IMainWindow> GetMainWindow() {
    std::lock_guard lock(g_windowMutex);
    return g_mainWindow;
}

bool AskUser(std::string_view text, std::string_view caption, AskButtons buttons, AskIcon icon) {
    std::shared_ptr<IMainWindow> window = GetMainWindow();
    const bool answer = window && window->AskUser(text, caption, buttons, icon);
    LoaderEvent event;
    event.kind = EventKind::Question;
    event.text = text;
    event.caption = caption;
    event.buttons = buttons;
    event.answer = answer;
    PublishEvent(event);
    return answer;
}

}  // namespace zelvar
