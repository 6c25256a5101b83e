// Connect GPS against the simulated receiver, run in-process on its own pty.
#include <algorithm>
#include <string>
#include <vector>

#include "base/resource_ids.h"
#include "base/shared_state.h"
#include "gui/common/receiver_handlers.h"
#include "image/composite_builder.h"
#include "link/connect_gps.h"
#include "link_fixture.h"
#include "sim/sim_receiver.h"
#include "support/refused_line_speed.h"
#include "support/test_patterns.h"

namespace zelvar::test {
namespace {

using Lines = std::vector<std::string>;

constexpr uint32_t kPfldBytes = 0x1000;
constexpr uint32_t kFwBytes = 0x2000;

// A composite image whose loader section carries "v1.05" in its version area.
std::vector<uint8_t> MakeImage(bool withFirmware) {
    CompositeImageParts parts;
    parts.pfld.assign(kPfldBytes, 0x3C);
    const std::string version = "PFLD v1.05 build";
    std::copy(version.begin(), version.end(), parts.pfld.end() - 32 + 4);
    if (withFirmware) {
        parts.fw.resize(kFwBytes);
        for (std::size_t i = 0; i < parts.fw.size(); ++i) parts.fw[i] = static_cast<uint8_t>(i * 7);
    }
    std::vector<uint8_t> image;
    std::string error;
    EXPECT_TRUE(BuildCompositeImage(parts, image, error)) << error;
    if (!withFirmware) image.resize(kFwBase - kFlashBase);  // the FW section stays erased
    return image;
}

class ConnectSimTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetLoaderDialectForTest(false);
        g_receiverInfo = ReceiverInfo{};
        m_fixture.Window().Enable(IDC_LOAD, false);
    }
    void TearDown() override {
        if (m_sim) m_sim->Stop();
        g_portName.Set("GPS1:");
        SetLoaderDialectForTest(false);
    }

    // Starts the simulated receiver on a flash made from image and selects its device.
    void StartSim(sim::SimOptions options, const std::vector<uint8_t>& image) {
        m_image = image;
        options.flashIn = m_fixture.Dir().File("flash.bin");
        WriteFile(options.flashIn, std::string(image.begin(), image.end()));
        m_sim = std::make_unique<sim::CSimReceiver>(options);
        std::string error;
        ASSERT_TRUE(m_sim->Start(error)) << error;
        g_portName.Set(m_sim->SlavePath().c_str());
    }

    long long Connect() {
        return ElapsedMs([this] { OnConnectGps(m_fixture.Window()); });
    }
    Lines List() { return m_fixture.Window().ListItems(IDC_MESSAGE_LIST); }
    bool LoadEnabled() { return m_fixture.Window().IsEnabled(IDC_LOAD); }

    Lines SectionLines(const char* loaderCrc, const char* mainCrc) {
        return {
            " GPS flash information", "Pfld len:0x1000",    std::string("Pfld crc:0x") + loaderCrc,
            "Pfld ver:1.5 (1.05)",    "Main FW len:0x2000", std::string("Main FW crc:0x") + mainCrc,
            "Main FW ver:0.7 (GQ07)"};
    }
    std::string Hex(uint32_t word) {
        char text[16];
        std::snprintf(text, sizeof text, "%x", word);
        return text;
    }
    std::string LoaderCrc() { return Hex(WordAt(m_image, kPfldBytes)); }
    std::string MainCrc() { return Hex(WordAt(m_image, kFwBase - kFlashBase + kFwBytes)); }

    // Speeds at which the port query reached the receiver, in order.
    std::vector<uint32_t> PortQuerySpeeds() {
        std::vector<uint32_t> speeds;
        for (const sim::TraceEntry& entry : m_sim->Trace()) {
            if (entry.kind == sim::TraceKind::Received && entry.meant == '$' &&
                (speeds.empty() || speeds.back() != entry.lineSpeed)) {
                speeds.push_back(entry.lineSpeed);
            }
        }
        return speeds;
    }

    WindowFixture m_fixture;
    std::vector<uint8_t> m_image;
    std::unique_ptr<sim::CSimReceiver> m_sim;
};

TEST_F(ConnectSimTest, ReceiverInItsLoaderIsConnectedAt19200) {
    sim::SimOptions options;
    options.startInPfld = true;
    StartSim(options, MakeImage(true));
    long long ms = Connect();
    // Every query is answered at once, so nothing waits out a silence.
    EXPECT_LT(ms, 600);

    Lines expected = {"PFL mode detected"};
    Lines sections = SectionLines(LoaderCrc().c_str(), MainCrc().c_str());
    expected.insert(expected.end(), sections.begin(), sections.end());
    expected.push_back("GPS connected at 19200");
    EXPECT_EQ(List(), expected);
    EXPECT_TRUE(LoadEnabled());
    EXPECT_EQ(g_receiverInfo.speed, 19200u);
    EXPECT_EQ(g_receiverInfo.pflMode, 1);
    EXPECT_TRUE(g_pflDetected);
    EXPECT_EQ(m_fixture.Window().GetText(IDC_STATUS), "");

    std::string title, text;
    MakeAboutTexts(title, text);
    EXPECT_EQ(
        text,
        "GPS firmware version 0.7\r\nGPS Pfld version 1.5\r\nPFL mode detected\r\nLog file: " +
            m_fixture.LogPath() + "\r\n");

    // The log holds the status texts and the list lines in their order.
    const std::string log = m_fixture.LogText();
    std::size_t at = log.find("Waiting data from GPS...\r\nPFL mode detected\r\n");
    EXPECT_NE(at, std::string::npos) << log;
    EXPECT_NE(log.find("GPS connected at 19200\r\n\r\n", at), std::string::npos) << log;
}

TEST_F(ConnectSimTest, ReceiverInNormalOperationIsFoundAtItsSpeed) {
    sim::SimOptions options;
    StartSim(options, MakeImage(true));
    long long ms = Connect();
    Lines expected = SectionLines(LoaderCrc().c_str(), MainCrc().c_str());
    expected.push_back("GPS connected at 4800");
    EXPECT_EQ(List(), expected);
    EXPECT_TRUE(LoadEnabled());
    EXPECT_EQ(g_receiverInfo.pflMode, 0);
    EXPECT_FALSE(g_pflDetected);
    // Only the loader probe waits out its silence.
    EXPECT_GE(ms, 800);
    EXPECT_LT(ms, 3000);
}

TEST_F(ConnectSimTest, ReceiverAnsweringOnlyAt115200IsFoundAfterTheSlowerSpeeds) {
    sim::SimOptions options;
    options.normalSpeed = 115200;
    StartSim(options, MakeImage(true));
    long long ms = Connect();
    EXPECT_EQ(List().back(), "GPS connected at 115200");
    EXPECT_TRUE(LoadEnabled());
    EXPECT_EQ(g_receiverInfo.speed, 115200u);
    EXPECT_EQ(PortQuerySpeeds(), (std::vector<uint32_t>{19200, 4800, 57600, 19200, 115200}));
    // The loader probe, 4800, 57600 and 19200 each wait out about one second.
    EXPECT_GE(ms, 3500);
    EXPECT_LT(ms, 9000);
}

TEST_F(ConnectSimTest, SilentReceiverIsNotConnected) {
    sim::SimOptions options;
    options.faults.answerOnlyAtSpeed = 38400;  // never probed: every answer is muted
    StartSim(options, MakeImage(true));
    m_fixture.Window().Enable(IDC_LOAD, true);
    long long ms = Connect();
    EXPECT_EQ(List(), (Lines{" GPS flash information", "Pfld N/a", "Main FW N/a",
                             "Cannot connect to GPS."}));
    EXPECT_FALSE(LoadEnabled());
    EXPECT_EQ(g_receiverInfo.speed, 0u);
    EXPECT_EQ(g_receiverInfo.connected, 0);
    // The loader probe and five speeds, about one second each.
    EXPECT_GE(ms, 5000);
    EXPECT_LT(ms, 12000);
}

TEST_F(ConnectSimTest, ReceiverThatVanishesEndsTheConnectAtOnce) {
    sim::SimOptions options;
    options.faults.vanishAfterBytes = 10;  // gone during the first port query
    StartSim(options, MakeImage(true));
    long long ms = Connect();
    EXPECT_EQ(List().back(), "Cannot connect to GPS.");
    EXPECT_FALSE(LoadEnabled());
    // Only the loader probe's silence is waited out, not that of the other speeds.
    EXPECT_LT(ms, 2500);
}

// A probe speed the port refuses ends the connect at once: the speeds after it are
// never tried, and the log says which speed it was.
TEST_F(ConnectSimTest, RefusedLoaderProbeSpeedEndsTheConnectBeforeAnyQuery) {
    StartSim(sim::SimOptions{}, MakeImage(true));
    m_fixture.Window().Enable(IDC_LOAD, true);
    {
        RefusedLineSpeed refused(kLoaderProbeSpeed);
        Connect();
    }
    EXPECT_EQ(List(), (Lines{" GPS flash information", "Pfld N/a", "Main FW N/a",
                             "Cannot connect to GPS."}));
    EXPECT_FALSE(LoadEnabled());
    EXPECT_EQ(g_receiverInfo.connected, 0);
    EXPECT_TRUE(PortQuerySpeeds().empty());
    EXPECT_NE(m_fixture.LogText().find("Waiting data from GPS...\r\n"
                                       "Line speed 19200 refused by the serial port.\r\n"
                                       " GPS flash information\r\n"),
              std::string::npos)
        << m_fixture.LogText();
}

TEST_F(ConnectSimTest, RefusedSpeedInTheProbeTableEndsTheConnectThere) {
    sim::SimOptions options;
    options.normalSpeed = 115200;  // would answer after 57600
    StartSim(options, MakeImage(true));
    {
        RefusedLineSpeed refused(57600);
        Connect();
    }
    EXPECT_EQ(List().back(), "Cannot connect to GPS.");
    EXPECT_EQ(g_receiverInfo.speed, 0u);
    EXPECT_EQ(PortQuerySpeeds(), (std::vector<uint32_t>{19200, 4800}));
    const std::string log = m_fixture.LogText();
    const std::size_t refusal = log.find("Line speed 57600 refused by the serial port.\r\n");
    ASSERT_NE(refusal, std::string::npos) << log;
    EXPECT_LT(refusal, log.find("Cannot connect to GPS.\r\n")) << log;
}

}  // namespace
}  // namespace zelvar::test
