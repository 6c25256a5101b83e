#include "event_recorder.h"

namespace zelvar::test {

void CEventRecorder::OnEvent(const LoaderEvent& event) {
    std::lock_guard lock(m_mutex);
    m_events.push_back({event.kind, std::string(event.text), std::string(event.caption),
                        event.answer, event.success, event.phase, event.done, event.total});
}

std::vector<RecordedEvent> CEventRecorder::Events() {
    std::lock_guard lock(m_mutex);
    return m_events;
}

std::vector<RecordedEvent> CEventRecorder::Events(EventKind kind) {
    std::vector<RecordedEvent> kept;
    for (const RecordedEvent& event : Events()) {
        if (event.kind == kind) kept.push_back(event);
    }
    return kept;
}

CRecordingScope::CRecordingScope() : m_recorder(std::make_shared<CEventRecorder>()) {
    AddEventSink(m_recorder);
}

CRecordingScope::~CRecordingScope() {
    RemoveEventSink(m_recorder);
}

}  // namespace zelvar::test
