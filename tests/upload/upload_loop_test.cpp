// The boot entry and the PFLD dialogue of the upload loop against a scripted loader.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "base/resource_ids.h"
#include "base/shared_state.h"
#include "link/port.h"
#include "link/receiver_queries.h"
#include "loader_peer.h"
#include "support/test_env.h"
#include "upload/sfld_upload.h"
#include "upload_test_support.h"

namespace zelvar::test {
namespace {

const std::vector<uint8_t> kBoot(std::begin(kBootRequest), std::end(kBootRequest));
const std::vector<uint8_t> kBurst(4, 0x55);

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

class UploadLoopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_jobCancel = false;
        g_receiverInfo = ReceiverInfo{};
        m_handle = OpenPort(m_pty.SlavePath().c_str(), 57600);
        ASSERT_NE(m_handle, kInvalidPort);
    }
    void TearDown() override {
        m_peer.reset();
        ClosePort(m_handle);
        g_jobCancel = false;
        g_receiverInfo = ReceiverInfo{};
    }
    std::vector<uint8_t> WakeBytes() {
        m_peer = std::make_unique<LoaderPeer>(m_pty, nullptr, nullptr);
        EXPECT_EQ(WakeLoader(m_handle), 1);
        WaitUntil([] { return false; }, 100);  // the last byte reaches the peer
        auto bytes = m_peer->Bytes();
        m_peer.reset();
        return bytes;
    }

    WindowFixture m_window;
    PtyPair m_pty;
    PortHandle m_handle = kInvalidPort;
    std::unique_ptr<LoaderPeer> m_peer;
};

TEST_F(UploadLoopTest, BootRequestAndAttentionBurstsDependOnWhatTheConnectFound) {
    // No speed known: the boot request at 4800 and at 57600, a burst after each.
    EXPECT_EQ(WakeBytes(), Join({kBoot, kBurst, kBoot, kBurst}));
    EXPECT_EQ(m_pty.SlaveSpeed(), 19200);
    g_receiverInfo.speed = 9600;  // a known speed, not in the loader: one request
    EXPECT_EQ(WakeBytes(), Join({kBoot, kBurst}));
    g_receiverInfo.pflMode = 1;  // already in the loader: only the burst
    EXPECT_EQ(WakeBytes(), kBurst);
    EXPECT_EQ(LogLines(m_window.LogText()).back(), "Waiting for target answer at 19200...");
}

TEST_F(UploadLoopTest, StateByteFollowsThePfldAnswers) {
    g_receiverInfo.speed = 19200;
    g_receiverInfo.pflMode = 1;
    // The answer to each state byte the loop sends after the burst.
    const std::vector<std::string> answers = {
        "$",                   // a "$" with nothing behind it: the state stays 0x55
        "$NOVER 1\r\n",        // a text without "$VER": 0x44, no version line
        "\x44",                // 0x44 answered: 0x45
        "\x44",                // again while at 0x45: nothing changes
        "Q",                   // unexpected: back to 0x55
        "$VER PFLD 1.05\r\n",  // the PFLD's version: shown, 0x44
        "",
    };
    m_peer = std::make_unique<LoaderPeer>(
        m_pty,
        [&answers, n = 0](uint8_t) mutable -> std::string {
            const int turn = n++ - static_cast<int>(kBurst.size());
            return turn >= 0 && turn < static_cast<int>(answers.size()) ? answers[turn] : "";
        },
        nullptr);
    std::thread cancel([this, &answers] {
        WaitUntil([&] { return m_peer->Bytes().size() >= kBurst.size() + answers.size(); }, 30000);
        g_jobCancel = true;
    });
    EXPECT_EQ(RunUpload(m_handle), -1);
    cancel.join();
    EXPECT_EQ(m_peer->Bytes(), Join({kBurst, {0x55, 0x55, 0x44, 0x45, 0x45, 0x55, 0x44}}));
    const auto lines = LogLines(m_window.LogText());
    EXPECT_TRUE(InOrder(lines, {"Waiting for target answer at 19200...", "Wait for REC_WAIT_CODE.",
                                "Ask PFLD version.", "PFLD 1.05", "Wait for REC_WAIT_CODE."}));
    EXPECT_EQ(CountLines(lines, "Ask PFLD version."), 1);
    EXPECT_EQ(m_window.Window().ListItems(IDC_MESSAGE_LIST), std::vector<std::string>{"PFLD 1.05"});
}

}  // namespace
}  // namespace zelvar::test
