#include "base/loader_events.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/message_log.h"
#include "base/resource_ids.h"
#include "event_recorder.h"
#include "test_env.h"

namespace zelvar {
namespace {

using test::CRecordingScope;
using test::RecordedEvent;
using test::WindowFixture;

const std::string kHeader = "GPS firmware loader 1.1.2\r\n";

std::vector<EventKind> Kinds(const std::vector<RecordedEvent>& events) {
    std::vector<EventKind> kinds;
    for (const RecordedEvent& event : events) kinds.push_back(event.kind);
    return kinds;
}

TEST(LoaderEvents, AJobReachesTheWindowTheLogAndTheSinksAsTypedEvents) {
    WindowFixture fx;
    fx.Window().SetAnswerer([](const CHeadlessWindow::Question&) { return true; });
    CRecordingScope recording;

    LogLine("Connecting");
    ShowStatus("Erasing");
    ReportProgress(JobPhase::Program, 1024, 4096);
    EXPECT_EQ(fx.Window().Progress(IDC_STATUS), 25);
    EXPECT_TRUE(AskUser("Go on?", "Question", AskButtons::YesNo));
    SetJobControls(true, true);

    const auto events = recording.Recorder().Events();
    EXPECT_EQ(Kinds(events),
              (std::vector<EventKind>{EventKind::Message, EventKind::Status, EventKind::Progress,
                                      EventKind::Question, EventKind::JobEnd, EventKind::Message}));
    EXPECT_EQ(events[0].text, "Connecting");
    EXPECT_EQ(events[1].text, "Erasing");
    EXPECT_EQ(events[2].phase, JobPhase::Program);
    EXPECT_EQ(events[2].done, 1024u);
    EXPECT_EQ(events[2].total, 4096u);
    EXPECT_EQ(events[3].caption, "Question");
    EXPECT_TRUE(events[3].answer);
    EXPECT_TRUE(events[4].success);
    EXPECT_EQ(events[5].text, "Upload complete");

    // The window shows what it always showed, and the fill is gone with the job.
    EXPECT_EQ(fx.Window().GetText(IDC_STATUS), "Erasing");
    EXPECT_EQ(fx.Window().ListItems(IDC_MESSAGE_LIST),
              (std::vector<std::string>{"Connecting", "Upload complete"}));
    EXPECT_EQ(fx.Window().Progress(IDC_STATUS), kNoProgress);
    // Only messages and status texts are lines of the log file.
    EXPECT_EQ(fx.LogText(), kHeader + "Connecting\r\nErasing\r\nUpload complete\r\n");
}

TEST(LoaderEvents, ProgressSharesAreBoundedAndOnlyProgrammingFillsTheStatusLine) {
    WindowFixture fx;
    ReportProgress(JobPhase::Sfld, 10, 20);
    EXPECT_EQ(fx.Window().Progress(IDC_STATUS), kNoProgress);
    ReportProgress(JobPhase::Program, 0, 0);
    EXPECT_EQ(fx.Window().Progress(IDC_STATUS), 0);
    ReportProgress(JobPhase::Program, 0xFFFFFFFFu, 0xFFFFFFFFu - 1);
    EXPECT_EQ(fx.Window().Progress(IDC_STATUS), 100);
    ReportProgress(JobPhase::Program, 0xFFFFFFF0u, 0xFFFFFFFFu);
    EXPECT_EQ(fx.Window().Progress(IDC_STATUS), 99);
    SetJobControls(true, false);
    EXPECT_EQ(fx.Window().Progress(IDC_STATUS), kNoProgress);
}

bool LogEndsWith(const std::string& path, std::string_view text) {
    const std::string line = std::string(text) + "\r\n";
    const std::string log = test::ReadFile(path);
    return log.size() >= line.size() &&
           log.compare(log.size() - line.size(), line.size(), line) == 0;
}

// A sink and a window that check, at every message, that the line is on storage already.
class CLogReadingSink : public IEventSink {
  public:
    explicit CLogReadingSink(std::string path) : m_path(std::move(path)) {}
    void OnEvent(const LoaderEvent& event) override {
        if (event.kind == EventKind::Message) inLog = LogEndsWith(m_path, event.text);
    }
    bool inLog = false;

  private:
    std::string m_path;
};

class CLogReadingWindow : public CHeadlessWindow {
  public:
    explicit CLogReadingWindow(std::string path) : m_path(std::move(path)) {}
    int ListAdd(int id, std::string_view text) override {
        inLog = LogEndsWith(m_path, text);
        return CHeadlessWindow::ListAdd(id, text);
    }
    bool inLog = false;

  private:
    std::string m_path;
};

TEST(LoaderEvents, TheWindowAndTheSinksSeeAMessageOnlyOnceTheLogFileHoldsIt) {
    WindowFixture fx;
    auto window = std::make_shared<CLogReadingWindow>(fx.LogPath());
    SetMainWindow(window);
    auto sink = std::make_shared<CLogReadingSink>(fx.LogPath());
    ASSERT_TRUE(AddEventSink(sink));
    LogLine("FLASH Programing Complete.");
    RemoveEventSink(sink);
    EXPECT_TRUE(window->inLog);
    EXPECT_TRUE(sink->inLog);
}

TEST(LoaderEvents, ASinkGetsTheWholeTextWhereTheLogKeepsItsLimit) {
    WindowFixture fx;
    CRecordingScope recording;
    const std::string longText(kLogLineBytes + 89, 'x');
    LogLine(longText.c_str());
    EXPECT_EQ(recording.Recorder().Events()[0].text, longText);
    EXPECT_EQ(fx.LogText(), kHeader + std::string(kLogLineBytes, 'x') + "\r\n");
}

TEST(LoaderEvents, QuestionsWithoutAWindowAreAnsweredNoAndStillReported) {
    CRecordingScope recording;
    EXPECT_FALSE(AskUser("Can not open port.", "Error", AskButtons::Ok, AskIcon::Error));
    const auto questions = recording.Recorder().Events(EventKind::Question);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].text, "Can not open port.");
    EXPECT_FALSE(questions[0].answer);
}

class CCountingSink : public IEventSink {
  public:
    void OnEvent(const LoaderEvent&) override { ++calls; }
    std::atomic<int> calls{0};
};

TEST(LoaderEvents, SinksAreBoundedCalledOnceAndGoneWhenRemoved) {
    std::vector<std::shared_ptr<CCountingSink>> sinks;
    for (int i = 0; i < kEventSinks; ++i) {
        sinks.push_back(std::make_shared<CCountingSink>());
        ASSERT_TRUE(AddEventSink(sinks.back()));
    }
    auto extra = std::make_shared<CCountingSink>();
    EXPECT_FALSE(AddEventSink(extra));
    EXPECT_TRUE(AddEventSink(sinks[0]));  // already there: still one slot, one call
    ShowStatus("one");
    RemoveEventSink(sinks[1]);
    EXPECT_TRUE(AddEventSink(extra));
    ShowStatus("two");
    EXPECT_EQ(sinks[0]->calls, 2);
    EXPECT_EQ(sinks[1]->calls, 1);
    EXPECT_EQ(extra->calls, 1);
    for (const auto& sink : sinks) RemoveEventSink(sink);
    RemoveEventSink(extra);
    ShowStatus("three");
    EXPECT_EQ(sinks[0]->calls, 2);
}

TEST(LoaderEvents, SinksComeAndGoWhileAWorkerPublishes) {
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        while (!stop) ReportProgress(JobPhase::Program, 1, 2);
    });
    auto sink = std::make_shared<CCountingSink>();
    for (int i = 0; i < 2000; ++i) {
        AddEventSink(sink);
        RemoveEventSink(sink);
    }
    stop = true;
    worker.join();
    const int seen = sink->calls;
    ReportProgress(JobPhase::Program, 1, 2);
    EXPECT_EQ(sink->calls, seen);  // removed means no more calls
}

}  // namespace
}  // namespace zelvar
