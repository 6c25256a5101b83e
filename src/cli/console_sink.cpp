#include "cli/console_sink.h"

#include "link/flash_information.h"
#include "link/receiver_queries.h"

namespace zelvar::cli {

void CConsoleSink::OnEvent(const LoaderEvent& event) {
    switch (event.kind) {
        case EventKind::Message:
            m_output.Message(event.text);
            break;
        case EventKind::Status:
            m_output.Status(event.text);
            break;
        case EventKind::Progress:
            // The bar follows the programming and a full read-back; the shorter steps show
            // as status texts.
            if (event.phase == JobPhase::Program || event.phase == JobPhase::Verify) {
                m_output.Progress(event.done, event.total);
            }
            break;
        case EventKind::Question:
            if (event.buttons == AskButtons::Ok) {
                m_output.Alert(event.caption, event.text);
            } else {
                m_output.Question(event.caption, event.text, event.answer);
            }
            break;
        case EventKind::Phase:
            m_output.Phase(PhaseName(event.phase));
            break;
        case EventKind::Receiver:
            m_output.Receiver(event.text, PublishedReceiver());
            break;
        case EventKind::JobEnd:
            break;  // "Upload complete" or "Upload failed" has been shown as a message
    }
}

}  // namespace zelvar::cli
