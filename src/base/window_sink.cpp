#include <memory>

#include "base/builtin_sinks.h"
#include "base/message_log.h"
#include "base/resource_ids.h"

namespace zelvar {

namespace {

void AddMessageLine(IMainWindow& window, std::string_view text) {
    window.ListAdd(IDC_MESSAGE_LIST, text);
    const int n = window.ListCount(IDC_MESSAGE_LIST);
    if (n > 0) window.ListSelect(IDC_MESSAGE_LIST, n - 1);
    if (n > kMessageListLines) window.ListDelete(IDC_MESSAGE_LIST, 0);
    window.Repaint(IDC_MESSAGE_LIST);
}

int Percent(uint32_t done, uint32_t total) {
    if (total == 0) return 0;
    if (done >= total) return 100;
    return static_cast<int>(uint64_t{done} * 100 / total);
}

}  // namespace

void ShowEventInMainWindow(const LoaderEvent& event) {
    std::shared_ptr<IMainWindow> window = GetMainWindow();
    if (!window) return;
    switch (event.kind) {
        case EventKind::Message:
            AddMessageLine(*window, event.text);
            break;
        case EventKind::Status:
            window->SetText(IDC_STATUS, event.text);
            window->Repaint(IDC_STATUS);
            break;
        case EventKind::Progress:
            if (event.phase == JobPhase::Program) {
                window->ShowProgress(IDC_STATUS, Percent(event.done, event.total));
            }
            break;
        case EventKind::JobEnd:
            window->ShowProgress(IDC_STATUS, kNoProgress);
            break;
        case EventKind::Question:  // the window asked it itself
        case EventKind::Phase:     // the messages say what the job is doing
        case EventKind::Receiver:  // and the connect's lines what it read
            break;
    }
}

}  // namespace zelvar
