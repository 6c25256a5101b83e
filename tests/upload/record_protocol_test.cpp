// The loader record exchange against a scripted loader on a pty.
#include "upload/record_protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>

#include "base/shared_state.h"
#include "image/loader_record.h"
#include "link/port.h"
#include "loader_peer.h"
#include "support/test_env.h"
#include "upload/upload_timing.h"
#include "upload_test_support.h"

namespace zelvar::test {
namespace {

constexpr uint32_t kAddress = 0x00201000;
const std::string kWait(1, '\x77');
const std::string kAck(1, '\x55');

class RecordProtocolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_jobCancel = false;
        m_handle = OpenPort(m_pty.SlavePath().c_str(), 115200);
        ASSERT_NE(m_handle, kInvalidPort);
        MakeDataFrame(m_record, kAddress, 3);
    }
    void TearDown() override {
        m_peer.reset();
        ClosePort(m_handle);
        g_jobCancel = false;
    }
    // A loader that answers every attention byte with REC_WAIT and the n-th frame
    // (counted from 0) with frameReplies[n] (nothing once the list is used up).
    void StartLoader(std::vector<std::string> frameReplies) {
        m_peer = std::make_unique<LoaderPeer>(
            m_pty, [](uint8_t b) { return b == 0x55 ? kWait : std::string(); },
            [replies = std::move(frameReplies), n = std::size_t{0}](const auto&) mutable {
                return n < replies.size() ? replies[n++] : std::string();
            });
    }
    std::vector<std::string> Lines() { return LogLines(m_window.LogText()); }

    WindowFixture m_window;
    PtyPair m_pty;
    PortHandle m_handle = kInvalidPort;
    CLoaderRecord m_record;
    std::unique_ptr<LoaderPeer> m_peer;
};

TEST_F(RecordProtocolTest, AcceptedFrameIsWrittenAsBuiltAndShowsItsAddress) {
    // Bytes such as erase codes between the frame and its answer are skipped silently.
    StartLoader({"\x84\x8F" + kAck});
    EXPECT_EQ(SendRecordWithRecovery(m_handle, m_record), 1);
    const auto frames = m_peer->Frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0],
              std::vector<uint8_t>(m_record.Bytes(), m_record.Bytes() + m_record.Length()));
    EXPECT_EQ(Lines().back(), "Address:0x00201000.");
    EXPECT_EQ(m_peer->Count(0x55), 1);
}

TEST_F(RecordProtocolTest, EndFrameShowsAddressZero) {
    StartLoader({kAck});
    m_record.MakeEnd();
    EXPECT_EQ(SendRecord(m_handle, m_record), 1);
    EXPECT_EQ(Lines().back(), "Address:0x00000000.");
}

TEST_F(RecordProtocolTest, RecWaitBytesAfterTheFrameAreToleratedUpTo200) {
    StartLoader({std::string(200, '\x77') + kAck});
    EXPECT_EQ(SendRecord(m_handle, m_record), 1);
    EXPECT_EQ(m_peer->Frames().size(), 1u);
    EXPECT_EQ(CountLines(Lines(), "REC_WAIT break"), 0);
}

TEST_F(RecordProtocolTest, EachRecWaitPast200WritesTheFrameAgain) {
    // The 201st REC_WAIT re-writes the frame; a 202nd in the same call re-writes it again.
    StartLoader({std::string(201, '\x77'), kWait, kAck});
    EXPECT_EQ(SendRecord(m_handle, m_record), 1);
    const auto frames = m_peer->Frames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[2], frames[0]);
    const auto lines = Lines();
    EXPECT_EQ(CountLines(lines, "REC_WAIT break"), 2);
    EXPECT_TRUE(InOrder(lines, {"REC_WAIT break", "REC_WAIT break", "Address:0x00201000."}));
    EXPECT_EQ(m_peer->Count(0x55), 1);  // one handshake: re-writes need none
}

TEST_F(RecordProtocolTest, RefusedFrameIsWrittenAgainOnceTheRecoveryHasSeenRecWait) {
    const std::pair<uint8_t, const char*> errors[] = {{0x81, "ERROR: BAD_CSUM"},
                                                      {0x82, "ERROR: BAD_LENGTH"},
                                                      {0x83, "ERROR: BAD_COMMAND"},
                                                      {0x85, "ERROR: RECORD_TIMEOUT"},
                                                      {0x88, "ERROR: NO_REC_END"}};
    std::size_t seen = 0;
    for (const auto& [code, text] : errors) {
        SCOPED_TRACE(text);
        // The stray byte after the code is answered with 0x55, which the loader
        // answers with REC_WAIT: the recovery ends there and the frame goes again.
        StartLoader({std::string(1, static_cast<char>(code)) + "x", kAck});
        EXPECT_EQ(SendRecordWithRecovery(m_handle, m_record), 1);
        const auto frames = m_peer->Frames();
        ASSERT_EQ(frames.size(), 2u);
        EXPECT_EQ(frames[1], frames[0]);
        const auto all = Lines();
        const std::vector<std::string> lines(all.begin() + static_cast<long>(seen), all.end());
        seen = all.size();
        EXPECT_TRUE(InOrder(lines, {text, "Repeat Sending Record.", "Rcv:0 x",
                                    "Writing the record again (1 of 10).", "Address:0x00201000."}));
        EXPECT_EQ(CountLines(lines, "Rcv:1 x"), 0);
        m_peer.reset();
    }
}

TEST_F(RecordProtocolTest, FrameRefusedEveryTimeIsGivenUpAfterItsReWrites) {
    StartLoader(std::vector<std::string>(20, "\x81x"));
    EXPECT_EQ(SendRecordWithRecovery(m_handle, m_record), 0);
    EXPECT_EQ(m_peer->Frames().size(), 11u);  // the first write and ten re-writes
    const auto lines = Lines();
    EXPECT_EQ(CountLines(lines, "Repeat Sending Record."), 11);
    EXPECT_TRUE(InOrder(lines, {"Writing the record again (10 of 10).", "ERROR: BAD_CSUM",
                                "Repeat Sending Record.", "Record not accepted, giving up."}));
}

TEST_F(RecordProtocolTest, RecoveryNumbersItsAttemptsAndShowsControlBytesAsDots) {
    int attention = 0;
    int frames = 0;
    m_peer = std::make_unique<LoaderPeer>(
        m_pty,
        [&attention](uint8_t b) -> std::string {
            if (b != 0x55) return "";
            ++attention;  // 1: handshake, 2 and 3: recovery answers, 4: handshake
            return attention == 2 ? std::string("\x01", 1) : kWait;
        },
        [&frames](const auto&) {
            return ++frames == 1 ? std::string(
                                       "\x81"
                                       "a")
                                 : kAck;
        });
    EXPECT_EQ(SendRecordWithRecovery(m_handle, m_record), 1);
    EXPECT_TRUE(InOrder(Lines(), {"ERROR: BAD_CSUM", "Repeat Sending Record.", "Rcv:0 a", "Rcv:1 .",
                                  "Writing the record again (1 of 10)."}));
    EXPECT_EQ(m_peer->Frames().size(), 2u);
}

TEST_F(RecordProtocolTest, LostAnswerIsAskedForAgainAndTheFrameWrittenOnceMore) {
    // The loader takes the first write and its answer is lost; it answers the re-ask
    // with REC_WAIT and the second write with REC_ACK.
    StartLoader({"", kAck});
    EXPECT_EQ(SendRecordWithRecovery(m_handle, m_record), 1);
    const auto frames = m_peer->Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1], frames[0]);
    EXPECT_EQ(m_peer->Count(0x55), 2);  // handshake and one re-ask
    EXPECT_TRUE(InOrder(Lines(), {"No answer, asking the loader again.",
                                  "Writing the record again.", "Address:0x00201000."}));
    EXPECT_EQ(CountLines(Lines(), "Repeat Sending Record."), 0);
}

TEST_F(RecordProtocolTest, AcceptanceThatAnswersTheReAskIsToldApart) {
    // A loader that has moved on answers the re-ask with 0x55 itself.
    int attention = 0;
    m_peer = std::make_unique<LoaderPeer>(
        m_pty, [&attention](uint8_t b) { return b != 0x55          ? ""
                                                : ++attention == 1 ? kWait
                                                                   : kAck; },
        [](const auto&) { return std::string(); });
    EXPECT_EQ(SendRecord(m_handle, m_record), kAcceptedOnReask);
    EXPECT_EQ(m_peer->Frames().size(), 1u);
}

TEST_F(RecordProtocolTest, LoaderThatNeverAnswersAFrameEndsInAFailureWithinItsLimits) {
    StartLoader({});  // takes every frame, answers every 0x55 with REC_WAIT
    const long long start = NowMs();
    EXPECT_EQ(SendRecordWithRecovery(m_handle, m_record), 0);
    EXPECT_LT(NowMs() - start, 4 * (kAnswerSilenceMs + 2000) + kRecoverySilenceMs);
    EXPECT_EQ(m_peer->Frames().size(), 1u + kAnswerReasks);
    const auto lines = Lines();
    EXPECT_EQ(CountLines(lines, "No answer, asking the loader again."), kAnswerReasks);
    EXPECT_TRUE(InOrder(lines, {"No answer to the record.", "Repeat Sending Record.",
                                "Record not accepted, giving up."}));
}

TEST_F(RecordProtocolTest, RecoveryPromptsASilentLoaderAndEndsWithinSeconds) {
    // No handshake answer and no REC_WAIT ever: the recovery prompts with 0x55 and
    // gives up after its silence limit instead of listening 1000 times.
    const long long start = NowMs();
    EXPECT_EQ(SendRecordWithRecovery(m_handle, m_record), 0);
    EXPECT_LT(NowMs() - start, kRecoverySilenceMs + 5000);
    const auto sent = m_pty.Drain();
    EXPECT_GE(std::count(sent.begin(), sent.end(), 0x55), 3);
    EXPECT_TRUE(InOrder(Lines(), {"Repeat Sending Record.", "No REC_WAIT from the loader."}));
}

TEST_F(RecordProtocolTest, NoHandshakeFailsSilentlyAfterAboutASecond) {
    const long long start = NowMs();
    EXPECT_EQ(SendRecord(m_handle, m_record), 0);
    const long long took = NowMs() - start;
    EXPECT_GE(took, 700);
    EXPECT_LT(took, 5000);
    EXPECT_EQ(m_pty.Drain(), std::vector<uint8_t>{0x55});  // the frame never went out
    EXPECT_FALSE(m_window.LogText().find("ERROR") != std::string::npos);
}

TEST_F(RecordProtocolTest, CancelEndsTheRecoveryOfASilentLoaderPromptly) {
    std::thread canceller([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        g_jobCancel = true;
    });
    const long long start = NowMs();
    EXPECT_EQ(SendRecordWithRecovery(m_handle, m_record), 0);
    canceller.join();
    EXPECT_LT(NowMs() - start, 4000);  // 1000 attempts would take over 15 minutes
}

TEST_F(RecordProtocolTest, CancelEndsTheWaitForAnAnswer) {
    StartLoader({});  // takes the frame and never answers
    std::thread canceller([this] {
        WaitUntil([this] { return !m_peer->Frames().empty(); }, 3000);
        g_jobCancel = true;
    });
    const long long start = NowMs();
    EXPECT_EQ(SendRecordWithRecovery(m_handle, m_record), 0);
    canceller.join();
    EXPECT_LT(NowMs() - start, 4000);
}

TEST_F(RecordProtocolTest, LostPortEndsTheWaitForAnAnswer) {
    StartLoader({});
    std::thread unplug([this] {
        WaitUntil([this] { return !m_peer->Frames().empty(); }, 3000);
        m_peer.reset();
        m_pty.CloseSlaveKeeper();
        m_pty.CloseMaster();
    });
    const long long start = NowMs();
    EXPECT_EQ(SendRecordWithRecovery(m_handle, m_record), 0);
    unplug.join();
    EXPECT_LT(NowMs() - start, 5000);
    EXPECT_TRUE(IsPortLost(m_handle));
}

TEST_F(RecordProtocolTest, WaitForPortByteDropsOtherBytesAndFailsOnSilence) {
    m_pty.Send(std::string("ab\x07", 3));
    EXPECT_EQ(WaitForPortByte(m_handle, 0x07, 0), 1);
    const long long start = NowMs();
    EXPECT_EQ(WaitForPortByte(m_handle, 0x07, 0), 0);
    EXPECT_GE(NowMs() - start, 700);
    EXPECT_TRUE(m_pty.Drain(20, 100).empty());  // prompt 0 sends nothing
}

}  // namespace
}  // namespace zelvar::test
