// What the loader reports, as typed events. The message log's operations (LogLine,
// ShowStatus, SetJobControls, the shared AskUser) are the engine's entry points; each
// turns into one event that goes, in this order, to the log file, the main window and
// then every registered sink (the command line's display, its JSON writer, a test's
// recorder). Front ends learn what happened from these events, never by reading a
// control back.
//
// Events are published on the thread that reports (the dialog's or the worker's); a
// sink is called on that thread and must not publish in turn. Texts are UTF-8 and only
// valid for the length of the call.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "base/main_window.h"

namespace zelvar {

enum class EventKind {
    Message,   // a line of the message list (and of the log file)
    Status,    // the status line's new text (and a line of the log file)
    Progress,  // share of a phase done
    Question,  // a message box, with the answer it got
    Phase,     // a job entered a new step (phase)
    JobEnd,    // an upload job ended (before its "Upload complete" or "Upload failed")
    Receiver,  // a connect read the receiver's flash (g_receiverInfo); text: "before" or
               // "after" the upload
};

// The steps of a job, as front ends name them.
enum class JobPhase { None, Connect, Prepare, Wake, Sfld, Erase, Program, Verify, Done };

struct LoaderEvent {
    EventKind kind = EventKind::Message;
    std::string_view text;     // Message, Status, Question, Receiver
    std::string_view caption;  // Question
    AskButtons buttons = AskButtons::Ok;
    bool answer = false;              // Question: the user's answer
    bool success = false;             // JobEnd
    JobPhase phase = JobPhase::None;  // Phase, Progress
    uint32_t done = 0;                // Progress: units done of total (bytes while programming)
    uint32_t total = 0;
};

class IEventSink {
  public:
    virtual ~IEventSink() = default;
    virtual void OnEvent(const LoaderEvent& event) = 0;
};

// At most this many sinks are registered at a time (the main window and the log file
// are built in and not counted).
constexpr int kEventSinks = 8;

// Registers sink; false when kEventSinks are registered already. A sink registered
// twice is called once.
bool AddEventSink(std::shared_ptr<IEventSink> sink);
void RemoveEventSink(const std::shared_ptr<IEventSink>& sink);

// Hands event to the log file, the main window and the registered sinks. No heap
// allocation: the serial loops publish progress after every frame.
void PublishEvent(const LoaderEvent& event);

// A Message or Status event with text.
void PublishText(EventKind kind, std::string_view text);

// A job's step begins: published as a Phase event.
void EnterPhase(JobPhase phase);

// The share of a phase done, published as a Progress event.
void ReportProgress(JobPhase phase, uint32_t done, uint32_t total);

// The lower-case name of phase ("program"); "" for None.
const char* PhaseName(JobPhase phase);

}  // namespace zelvar
