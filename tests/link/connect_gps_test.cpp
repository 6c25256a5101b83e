// The Connect GPS, port choice and About handlers, through the headless main window.
#include "link/connect_gps.h"

#include <string>
#include <vector>

#include "base/message_log.h"
#include "base/resource_ids.h"
#include "base/shared_state.h"
#include "base/terminal_commands.h"
#include "gui/common/receiver_handlers.h"
#include "link_fixture.h"

namespace zelvar::test {
namespace {

using Lines = std::vector<std::string>;

class HandlerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_receiverInfo = ReceiverInfo{};
        g_uploadBusy = false;
        g_terminalMode = 0;
        ClearTerminalCommands();
    }
    void TearDown() override {
        g_receiverInfo = ReceiverInfo{};
        g_uploadBusy = false;
        g_terminalMode = 0;
        ClearTerminalCommands();
        g_portName.Set("GPS1:");
    }
    Lines List() { return m_fixture.Window().ListItems(IDC_MESSAGE_LIST); }

    WindowFixture m_fixture;
};

TEST_F(HandlerTest, SectionLines) {
    FlashSectionInfo pfld;
    pfld.length = 0x3FF0;
    pfld.crc = 0;
    pfld.major = 1;
    pfld.minor = 5;
    std::snprintf(pfld.text, sizeof pfld.text, "1.05");
    LogSectionInfo(pfld, "Pfld");

    FlashSectionInfo main;  // versions 0.0 with a text still read N/a
    main.length = 0x7C000;
    main.crc = 0xFFFFFFFF;
    std::snprintf(main.text, sizeof main.text, "GQ");
    LogSectionInfo(main, "Main FW");

    LogSectionInfo(FlashSectionInfo{}, "Pfld");
    EXPECT_EQ(List(), (Lines{"Pfld len:0x3ff0", "Pfld crc:N/a", "Pfld ver:1.5 (1.05)",
                             "Main FW len:0x7c000", "Main FW crc:0xffffffff", "Main FW ver:N/a",
                             "Pfld N/a"}));
}

TEST_F(HandlerTest, AboutTextsBeforeAnyConnect) {
    std::string title, text;
    MakeAboutTexts(title, text);
    EXPECT_EQ(title, "GPS firmware loader 1.1.2");
    EXPECT_EQ(text, "GPS firmware version N/a\r\nGPS Pfld version N/a\r\nLog file: " +
                        m_fixture.LogPath() + "\r\n");
    CloseLogFile();
    MakeAboutTexts(title, text);
    EXPECT_EQ(text, "GPS firmware version N/a\r\nGPS Pfld version N/a\r\nNo log file\r\n");
}

TEST_F(HandlerTest, AboutBoxAfterAConnectInLoaderMode) {
    g_receiverInfo.main.minor = 7;
    g_receiverInfo.pfld.major = 2;
    g_receiverInfo.pfld.minor = 7;
    g_receiverInfo.pflMode = 1;
    ShowAboutBox(m_fixture.Window());
    auto boxes = m_fixture.Window().AboutBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].first, "GPS firmware loader 1.1.2");
    EXPECT_EQ(boxes[0].second,
              "GPS firmware version 0.7\r\nGPS Pfld version 2.7\r\nPFL mode detected\r\nLog "
              "file: " +
                  m_fixture.LogPath() + "\r\n");
}

TEST_F(HandlerTest, NoAboutBoxWhileFlashIsProgrammed) {
    g_uploadBusy = true;
    ShowAboutBox(m_fixture.Window());
    EXPECT_TRUE(m_fixture.Window().AboutBoxes().empty());
}

class PortChoiceTest : public HandlerTest {
  protected:
    void SetUp() override {
        HandlerTest::SetUp();
        CHeadlessWindow& window = m_fixture.Window();
        window.ListAdd(IDC_PORT_LIST, "GPS1:");
        window.ListAdd(IDC_PORT_LIST, "GPS2:");
        window.ListAdd(IDC_PORT_LIST, "/dev/" + std::string(300, 'p'));
    }
};

TEST_F(PortChoiceTest, OutsideTerminalModeOnlyTheNameChanges) {
    m_fixture.Window().ListSelect(IDC_PORT_LIST, 1);
    OnPortSelected(m_fixture.Window());
    EXPECT_EQ(g_portName.Get(), "GPS2:");
    EXPECT_EQ(PendingTerminalCommands(), 0u);
}

TEST_F(PortChoiceTest, InTerminalModeTheTerminalReopens) {
    const int session = BeginTerminalSession("GPS1:");
    g_terminalMode = 1;
    m_fixture.Window().ListSelect(IDC_PORT_LIST, 1);
    OnPortSelected(m_fixture.Window());
    EXPECT_EQ(g_portName.Get(), "GPS2:");
    TerminalRequest request;
    ASSERT_TRUE(TakeTerminalCommand(session, request));
    EXPECT_EQ(request.command, TermReopen);
}

TEST_F(PortChoiceTest, LongNamesAreCutAndNoSelectionKeepsTheName) {
    m_fixture.Window().ListSelect(IDC_PORT_LIST, 2);
    OnPortSelected(m_fixture.Window());
    EXPECT_EQ(g_portName.Get(), ("/dev/" + std::string(300, 'p')).substr(0, kPortNameChars));
    m_fixture.Window().ListSelect(IDC_PORT_LIST, -1);
    OnPortSelected(m_fixture.Window());
    EXPECT_EQ(g_portName.Get().size(), kPortNameChars);
}

TEST_F(HandlerTest, MissingDeviceShowsTheBoxAndTheStatusAndListsNothing) {
    g_portName.Set("GPS2:");  // no such device here
    CHeadlessWindow& window = m_fixture.Window();
    window.Enable(IDC_LOAD, true);
    window.ListAdd(IDC_MESSAGE_LIST, "old line");
    OnConnectGps(m_fixture.Window());
    auto questions = window.Questions();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].text, "Can not open serial port 1.");
    EXPECT_EQ(questions[0].caption, "Error");
    EXPECT_EQ(window.GetText(IDC_STATUS), "Cannot open GPS port.");
    EXPECT_TRUE(List().empty());
    EXPECT_TRUE(window.IsEnabled(IDC_LOAD));
    EXPECT_GE(window.RepaintCount(IDC_WINDOW), 1);
}

}  // namespace
}  // namespace zelvar::test
