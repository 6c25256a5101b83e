#include "sim_upload_fixture.h"

#include "app/jobs.h"
#include "base/shared_state.h"
#include "link/connect_gps.h"
#include "link/receiver_queries.h"
#include "upload/prepare_upload.h"

namespace zelvar::test {

void SimUploadTest::SetUp() {
    g_jobCancel = false;
    g_uploadBusy = false;
    g_pfldMode = false;
    g_pflDetected = false;  // a test whose receiver starts in its loader sets it
    g_receiverInfo = ReceiverInfo{};
}

void SimUploadTest::TearDown() {
    if (m_sim) m_sim->Stop();
    g_jobCancel = false;
    g_portName.Set("GPS1:");
}

void SimUploadTest::StartSim(const std::vector<uint8_t>& flash, sim::SimFaults faults,
                             bool inPfld) {
    sim::SimOptions options;
    options.startInPfld = inPfld;
    options.flashIn = WriteImage("old-flash.bin", flash);
    options.faults = faults;
    m_sim = std::make_unique<sim::CSimReceiver>(options);
    std::string error;
    ASSERT_TRUE(m_sim->Start(error)) << error;
    g_portName.Set(m_sim->SlavePath().c_str());
}

bool SimUploadTest::Connect() {
    ConnectGps();
    return g_receiverInfo.connected != 0;
}

int SimUploadTest::Upload(const std::string& imagePath) {
    return RunJob(m_sim->SlavePath().c_str(), imagePath.c_str(), 0);
}

std::string SimUploadTest::WriteImage(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = m_dir.File(name);
    WriteBytes(path, bytes);
    return path;
}

std::size_t SimUploadTest::ReceivedBytes() {
    std::size_t n = 0;
    for (const auto& entry : m_sim->Trace()) n += entry.kind == sim::TraceKind::Received;
    return n;
}

std::vector<uint8_t> SimUploadTest::FlashRange(uint32_t first, uint32_t end) {
    const std::vector<uint8_t> flash = m_sim->Flash();
    return std::vector<uint8_t>(flash.begin() + (first - kFlashBase),
                                flash.begin() + (end - kFlashBase));
}

void SimUploadTest::AnswerPfldQuestion(bool yes) {
    m_window.Window().SetAnswerer([yes](const CHeadlessWindow::Question&) { return yes; });
}

}  // namespace zelvar::test
