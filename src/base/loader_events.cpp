#include "base/loader_events.h"

#include <array>
#include <mutex>

#include "base/builtin_sinks.h"

namespace zelvar {

namespace {

using SinkList = std::array<std::shared_ptr<IEventSink>, kEventSinks>;

struct SinkRegistry {
    std::mutex mutex;
    SinkList sinks;
};

SinkRegistry& Registry() {
    static SinkRegistry registry;
    return registry;
}

// A copy taken under the lock, so that no sink is called with the lock held (a sink
// may wait for the dialog's thread, which may be publishing itself) and none goes away
// while it is being called.
SinkList CurrentSinks() {
    std::lock_guard lock(Registry().mutex);
    return Registry().sinks;
}

}  // namespace

bool AddEventSink(std::shared_ptr<IEventSink> sink) {
    if (!sink) return false;
    std::lock_guard lock(Registry().mutex);
    for (const auto& present : Registry().sinks) {
        if (present == sink) return true;
    }
    for (auto& slot : Registry().sinks) {
        if (!slot) {
            slot = std::move(sink);
            return true;
        }
    }
    return false;
}

void RemoveEventSink(const std::shared_ptr<IEventSink>& sink) {
    std::lock_guard lock(Registry().mutex);
    for (auto& slot : Registry().sinks) {
        if (slot == sink) slot.reset();
    }
}

void PublishEvent(const LoaderEvent& event) {
    WriteEventToLogFile(event);  // on storage before anyone shows it
    ShowEventInMainWindow(event);
    for (const auto& sink : CurrentSinks()) {
        if (sink) sink->OnEvent(event);
    }
    ReportPendingLogFailure();
}

void PublishText(EventKind kind, std::string_view text) {
    LoaderEvent event;
    event.kind = kind;
    event.text = text;
    PublishEvent(event);
}

void EnterPhase(JobPhase phase) {
    LoaderEvent event;
    event.kind = EventKind::Phase;
    event.phase = phase;
    PublishEvent(event);
}

void ReportProgress(JobPhase phase, uint32_t done, uint32_t total) {
    LoaderEvent event;
    event.kind = EventKind::Progress;
    event.phase = phase;
    event.done = done;
    event.total = total;
    PublishEvent(event);
}

const char* PhaseName(JobPhase phase) {
    switch (phase) {
        case JobPhase::None:
            return "";
        case JobPhase::Connect:
            return "connect";
        case JobPhase::Prepare:
            return "prepare";
        case JobPhase::Wake:
            return "wake";
        case JobPhase::Sfld:
            return "sfld";
        case JobPhase::Erase:
            return "erase";
        case JobPhase::Program:
            return "program";
        case JobPhase::Verify:
            return "verify";
        case JobPhase::Done:
            return "done";
    }
    return "";
}

}  // namespace zelvar
