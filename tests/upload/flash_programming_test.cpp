// Flash identification, boot mode and the erase wait against a scripted SFLD on a pty.
#include "upload/flash_programming.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "base/resource_ids.h"
#include "base/shared_state.h"
#include "image/firmware_image.h"
#include "link/port.h"
#include "loader_peer.h"
#include "support/test_env.h"
#include "upload/prepare_upload.h"
#include "upload_test_support.h"

namespace zelvar::test {
namespace {

class FlashProgrammingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_jobCancel = false;
        g_uploadBusy = false;
        g_pfldMode = false;
        m_handle = OpenPort(m_pty.SlavePath().c_str(), 115200);
        ASSERT_NE(m_handle, kInvalidPort);
    }
    void TearDown() override {
        m_peer.reset();
        ClosePort(m_handle);
        g_pfldMode = false;
        g_uploadBusy = false;
    }
    // An SFLD that answers the version query from its second asking on, answers the
    // identification with idReply, and stays silent otherwise.
    void StartSfld(std::string idReply) {
        m_peer = std::make_unique<LoaderPeer>(
            m_pty,
            [idReply, versions = 0](uint8_t b) mutable -> std::string {
                if (b == CMD_VERSION) return ++versions == 1 ? "" : "$VER SFLD 2.01xy\r\n";
                if (b == CMD_FLASH_ID) return idReply;
                return "";
            },
            nullptr);
    }
    std::vector<std::string> Lines() { return LogLines(m_window.LogText()); }
    std::vector<std::string> Messages() { return m_window.Window().ListItems(IDC_MESSAGE_LIST); }

    WindowFixture m_window;
    PtyPair m_pty;
    PortHandle m_handle = kInvalidPort;
    std::unique_ptr<LoaderPeer> m_peer;
};

TEST_F(FlashProgrammingTest, VersionIsAskedAgainUntilItComesThenTheFlashIsIdentified) {
    StartSfld(std::string("\x91\x05\x01\x22\x49\x00", 6));
    EXPECT_EQ(IdentifyAndProgram(m_handle), 0);  // no erase answer: the pass fails
    EXPECT_EQ(m_peer->Count(CMD_VERSION), 2);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"SFLD 2.01", "TypeID:5 (01 22 49 00)",
                                                    "Erasing FLASH..."}));
    // Without PFLD mode the first line of the programming is its status line.
    EXPECT_TRUE(InOrder(Lines(), {"TypeID:5 (01 22 49 00)", "FLASHProgram Begin",
                                  "Erasing FLASH...", "FLASH upload failed."}));
    EXPECT_EQ(m_peer->Bytes(), (std::vector<uint8_t>{CMD_VERSION, CMD_VERSION, CMD_FLASH_ID,
                                                     CMD_ATTENTION, CMD_ERASE}));
    EXPECT_TRUE(g_uploadBusy);
}

TEST_F(FlashProgrammingTest, IdentificationWithoutItsCodeOrEmptyShowsNoTypeLine) {
    StartSfld(std::string("\x05\x00\x91\x05\x01\x22\x49", 7));  // a zero before the 0x91
    EXPECT_EQ(IdentifyAndProgram(m_handle), 0);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"SFLD 2.01", "Erasing FLASH..."}));
    m_peer.reset();
    m_window.Window().ListReset(IDC_MESSAGE_LIST);

    StartSfld("");
    EXPECT_EQ(IdentifyAndProgram(m_handle), 0);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"SFLD 2.01", "FLASH identification failed.",
                                                    "Erasing FLASH..."}));
}

TEST_F(FlashProgrammingTest, PfldModeWithoutBootModeEchoFailsBeforeProgramming) {
    g_pfldMode = true;
    StartSfld("");
    EXPECT_EQ(ProgramFlash(m_handle, g_firmwareImage), 0);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Entering boot mode...", "Failed"}));
    EXPECT_EQ(m_peer->Bytes(), std::vector<uint8_t>{CMD_BOOT_MODE});
    EXPECT_FALSE(g_uploadBusy);
}

TEST_F(FlashProgrammingTest, EraseCountsSectorsUntilItsEnd) {
    m_pty.Send(std::string(10, '\x8F') + "\x55");
    EXPECT_EQ(WaitForErase(m_handle), 1);
    std::vector<std::string> want;
    for (int i = 1; i <= 10; ++i) want.push_back(std::to_string(i) + " sectors erased.");
    want.push_back("FLASH erasing complete.");
    EXPECT_EQ(Lines(), [&] {
        want.insert(want.begin(), Lines().front());  // the log's header line
        return want;
    }());
}

TEST_F(FlashProgrammingTest, EraseFailureAndUnexpectedBytesEndTheWait) {
    m_pty.Send(std::string("\x8F\x84", 2));
    EXPECT_EQ(WaitForErase(m_handle), 0);
    EXPECT_EQ(Lines().back(), "Flash erase failure.");
    m_pty.Send(std::string("\x42", 1));
    EXPECT_EQ(WaitForErase(m_handle), 0);
    const auto lines = Lines();
    EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
              (std::vector<std::string>{"Flash erase failure.", "Unknown command 0x42.",
                                        "FLASH erase failure."}));
}

TEST_F(FlashProgrammingTest, LostPortEndsTheEraseWait) {
    std::thread unplug([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        m_pty.CloseSlaveKeeper();
        m_pty.CloseMaster();
    });
    const long long start = NowMs();
    EXPECT_EQ(WaitForErase(m_handle), 0);
    unplug.join();
    EXPECT_LT(NowMs() - start, 3000);
}

TEST(ShowVersionTextTest, ShowsTheNumberAfterTheTagAndItsSeparator) {
    WindowFixture window(false);
    ShowVersionText("$VER 1.23abc");
    ShowVersionText("$VER:7");
    ShowVersionText("$VER:");  // five characters: nothing
    ShowVersionText("$VER");
    ShowVersionText("$VER \xE9 4\r\n");  // an 8-bit character reaches the list as UTF-8
    EXPECT_EQ(window.Window().ListItems(IDC_MESSAGE_LIST),
              (std::vector<std::string>{"1.23", "7", "\xC3\xA9 4"}));
    // A long text (the upload loop reads up to 4 KB) shows at most 255 characters.
    ShowVersionText(("$VER " + std::string(400, '9')).c_str());
    EXPECT_EQ(window.Window().ListItems(IDC_MESSAGE_LIST).back(), std::string(255, '9'));
}

}  // namespace
}  // namespace zelvar::test
