// The connect procedure against scripted receivers: the loader probe, the speed probe
// and which memory-read form the section reads use.
#include <string>

#include "base/resource_ids.h"
#include "link_fixture.h"
#include "scripted_peer.h"

namespace zelvar::test {
namespace {

using Words = std::map<uint32_t, uint32_t>;

// A plausible flash: loader section with version "v2.07", main section 0x10004000 ...
Words LoaderWords() {
    Words words = VersionAreaWords(0x10003FF0, "PFL v2.07", 10);
    words.insert({{0x10000020, 0x10000000}, {0x10000024, 0x10003FF0}});
    return words;
}

Words MainWords() {
    return {{0x10004020, 0x10004000}, {0x10004024, 0x10080000}, {0x10080000, 0x0BADF00D}};
}

bool ListHas(CHeadlessWindow& window, const std::string& line) {
    for (const std::string& item : window.ListItems(IDC_MESSAGE_LIST)) {
        if (item == line) return true;
    }
    return false;
}

class ConnectReceiverTest : public LinkTest {
  protected:
    ScriptedPeer m_peer{m_pty};
    ReceiverInfo m_info;
};

TEST_F(ConnectReceiverTest, LoaderAnswerGivesPflModeEvenWithoutMainSection) {
    m_peer.Answer("$A\r\n", "A:PFL\r\n", 19200);
    m_peer.AnswerWords(LoaderWords(), true, 19200);
    EXPECT_EQ(ConnectReceiver(m_handle, m_info), 1);
    EXPECT_EQ(m_info.speed, 19200u);
    EXPECT_EQ(m_info.pflMode, 1);
    EXPECT_EQ(m_info.connected, 1);
    EXPECT_TRUE(g_pflDetected);
    EXPECT_EQ(m_info.pfld.length, 0x3FF0u);
    EXPECT_EQ(m_info.pfld.major, 2);
    EXPECT_EQ(m_info.pfld.minor, 7);
    EXPECT_EQ(m_info.main.length, 0u);
    EXPECT_TRUE(ListHas(m_window.Window(), "PFL mode detected"));
    const std::string sent = m_peer.Received();
    EXPECT_EQ(sent.rfind("$A\r\n$R10000020\r\n$R10000024\r\n", 0), 0u) << sent;
    EXPECT_EQ(sent.find("RDM"), std::string::npos);
    EXPECT_EQ(sent.find("PRT"), std::string::npos);
}

TEST_F(ConnectReceiverTest, AfterOneLoaderAnswerLaterConnectsUseTheShortForm) {
    m_peer.Answer("$A\r\n", "A:PFL\r\n", 19200);
    m_peer.AnswerWords(LoaderWords(), true, 19200);
    m_peer.AnswerWords(MainWords(), true, 19200);
    ASSERT_EQ(ConnectReceiver(m_handle, m_info), 1);
    EXPECT_EQ(m_info.main.length, 0x7C000u);

    // Another receiver, in normal operation at 4800: it is still read with "$R".
    PtyPair other;
    ScriptedPeer normal(other);
    normal.Answer("$PQRXQ,PRT\r\n", "$PQRXR,PRT,1*00\r\n", 4800);
    normal.AnswerWords(LoaderWords(), true, 4800);
    normal.AnswerWords(MainWords(), true, 4800);
    normal.Answer("$PQRXQ,RID\r\n", "$PQRXR,RID,x,GQ07*00\r\n", 4800);
    PortHandle handle = OpenPort(other.SlavePath().c_str(), 4800);
    ASSERT_NE(handle, kInvalidPort);
    EXPECT_EQ(ConnectReceiver(handle, m_info), 1);
    ClosePort(handle);
    EXPECT_EQ(m_info.speed, 4800u);
    EXPECT_EQ(m_info.pflMode, 0);
    EXPECT_EQ(m_info.main.minor, 7);
    EXPECT_STREQ(m_info.main.text, "GQ07");
    EXPECT_EQ(normal.Received().find("RDM"), std::string::npos);
    EXPECT_EQ(normal.Answered("$R10000020\r\n"), 1);
}

TEST_F(ConnectReceiverTest, LoaderAnswerWithUnreadableSectionFallsBackToTheSpeedProbe) {
    // The loader answers the probe but no memory read at 19200; at 57600 the receiver
    // answers the port query and the short-form reads.
    m_peer.Answer("$A\r\n", "A:PFL\r\n", 19200);
    m_peer.Answer("$PQRXQ,PRT\r\n", "$PQRXR,PRT*00\r\n", 57600);
    m_peer.AnswerWords(LoaderWords(), true, 57600);
    m_peer.AnswerWords(MainWords(), true, 57600);
    EXPECT_EQ(ConnectReceiver(m_handle, m_info), 1);
    EXPECT_TRUE(ListHas(m_window.Window(), "PFL mode detected"));
    EXPECT_EQ(m_info.speed, 57600u);
    EXPECT_EQ(m_info.pflMode, 0);
    EXPECT_EQ(m_info.connected, 1);
    EXPECT_EQ(m_info.pfld.length, 0x3FF0u);
    EXPECT_EQ(m_peer.Answered("$PQRXQ,PRT\r\n"), 1);
}

TEST_F(ConnectReceiverTest, ProbedSpeedWithUnreadableMainSectionIsNotConnected) {
    m_info.main.length = 0x1234;  // left over from an earlier connect
    m_info.pflMode = 1;
    m_peer.Answer("$PQRXQ,PRT\r\n", "$PQRXR,PRT*00\r\n", 4800);
    m_peer.AnswerWords(LoaderWords(), false, 4800);
    EXPECT_EQ(ConnectReceiver(m_handle, m_info), 0);
    EXPECT_EQ(m_info.speed, 4800u);
    EXPECT_EQ(m_info.pflMode, 0);
    EXPECT_EQ(m_info.connected, 0);
    EXPECT_EQ(m_info.pfld.length, 0x3FF0u);
    EXPECT_EQ(m_info.main.length, 0u);
    EXPECT_FALSE(g_pflDetected);
    EXPECT_FALSE(ListHas(m_window.Window(), "PFL mode detected"));
}

}  // namespace
}  // namespace zelvar::test
