// A sink that keeps a copy of every event published while it is registered.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/loader_events.h"

namespace zelvar::test {

struct RecordedEvent {
    EventKind kind;
    std::string text;
    std::string caption;
    bool answer;
    bool success;
    JobPhase phase;
    uint32_t done;
    uint32_t total;
};

class CEventRecorder : public IEventSink {
  public:
    void OnEvent(const LoaderEvent& event) override;
    std::vector<RecordedEvent> Events();
    std::vector<RecordedEvent> Events(EventKind kind);

  private:
    std::mutex m_mutex;
    std::vector<RecordedEvent> m_events;
};

// Registers a recorder for the length of a scope.
class CRecordingScope {
  public:
    CRecordingScope();
    ~CRecordingScope();
    CRecordingScope(const CRecordingScope&) = delete;
    CRecordingScope& operator=(const CRecordingScope&) = delete;
    CEventRecorder& Recorder() { return *m_recorder; }

  private:
    std::shared_ptr<CEventRecorder> m_recorder;
};

}  // namespace zelvar::test
