#include "hostile_receiver.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <vector>

namespace zelvar::test {

namespace {

constexpr int kPollMs = 5;
constexpr int kUnaskedEveryMs = 30;
constexpr std::size_t kLongLine = 3000;

const uint8_t kProtocolBytes[] = {0x55, 0x77, 0x81, 0x82, 0x83, 0x84, 0x85, 0x88, 0x8F,
                                  0x44, 0x45, 0x90, 0x91, 0x07, 0x6A, 0x00, 0xFF, '$',
                                  'A',  'R',  ':',  ',',  '*',  '[',  ']',  '\r', '\n'};

const char* const kTexts[] = {
    "$VER PFLD 1.05\r\n",
    "$VER SFLD 2.01\r\n",
    "$VER\r\n",
    "$VER 9999999999999999999999999999\r\n",
    "A:PFLD 1.05\r\n",
    "A:\r\n",
    "$PQRXR,PRT,0,4800,NMEA*00\r\n",
    "$PQRXR,PRT,0,115200,NMEA*00\r\n",
    "$PQRXR,PRT,,,\r\n",
    "$PQRXR,RID,ZELVAR,GQ07*00\r\n",
    "$PQRXR,RID,,\r\n",
    "$PQRXR,RDM,10000020,10000000*00\r\n",
    "$PQRXR,RDM,10000024,10003FFC*00\r\n",
    "$PQRXR,RDM,10004024,FFFFFFFF*00\r\n",
    "$PQRXR,RDM,,*\r\n",
    "$PQRXR,RDM,10000020,ZZZZZZZZZZZZZZZZZZZZZZZZ*00\r\n",
    "R10000020,10000000\r\n",
    "R10004024,10104000\r\n",
    "R,\r\n",
    "$PQRXR,ERR,PRT*00\r\n",
    "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n",
};

}  // namespace

long long SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

CHostileReceiver::CHostileReceiver(PtyPair& pty, uint32_t seed, int talkMs)
    : m_pty(pty), m_random(seed), m_talkMs(talkMs) {
    fcntl(m_pty.Master(), F_SETFL, fcntl(m_pty.Master(), F_GETFL) | O_NONBLOCK);
    m_thread = std::thread([this] { Run(); });
}

CHostileReceiver::~CHostileReceiver() {
    if (m_thread.joinable()) m_thread.join();
}

long long CHostileReceiver::WaitClosed() {
    if (m_thread.joinable()) m_thread.join();
    return m_closedAt.load();
}

std::string CHostileReceiver::Chunk() {
    auto pick = [this](std::size_t n) { return static_cast<std::size_t>(m_random() % n); };
    std::string out;
    switch (pick(8)) {
        case 0:  // noise
            for (std::size_t i = 1 + pick(64); i > 0; --i) out += static_cast<char>(m_random());
            break;
        case 1:  // protocol bytes
            for (std::size_t i = 1 + pick(8); i > 0; --i) {
                out += static_cast<char>(kProtocolBytes[pick(sizeof kProtocolBytes)]);
            }
            break;
        case 2:  // a REC_WAIT storm
            out.assign(1 + pick(300), static_cast<char>(0x77));
            break;
        case 3:  // erase progress without end
            out.assign(1 + pick(400), static_cast<char>(0x8F));
            break;
        case 4:  // a reply text
            out = kTexts[pick(sizeof kTexts / sizeof kTexts[0])];
            break;
        case 5: {  // a reply text, damaged
            out = kTexts[pick(sizeof kTexts / sizeof kTexts[0])];
            for (std::size_t i = 1 + pick(3); i > 0; --i)
                out[pick(out.size())] = static_cast<char>(m_random());
            break;
        }
        case 6:  // an over-long line
            out = (pick(2) ? "$VER " : "$PQRXR,RDM,") + std::string(kLongLine, 'F');
            break;
        default:  // a lone answer code
            out += static_cast<char>(kProtocolBytes[pick(9)]);
            break;
    }
    return out;
}

void CHostileReceiver::Send(const std::string& bytes) {
    // The loader may not read for a while: what the pty cannot take is dropped.
    const ssize_t n = write(m_pty.Master(), bytes.data(), bytes.size());
    if (n > 0) m_sent += static_cast<uint64_t>(n);
}

void CHostileReceiver::Run() {
    const long long end = SteadyMs() + m_talkMs;
    long long nextUnasked = SteadyMs();
    uint8_t buffer[4096];
    while (SteadyMs() < end) {
        pollfd fd{m_pty.Master(), POLLIN, 0};
        if (poll(&fd, 1, kPollMs) > 0 && (fd.revents & POLLIN) != 0) {
            if (read(m_pty.Master(), buffer, sizeof buffer) > 0 && m_random() % 4 != 0)
                Send(Chunk());
        }
        if (SteadyMs() >= nextUnasked) {
            Send(Chunk());
            nextUnasked = SteadyMs() + static_cast<long long>(m_random() % kUnaskedEveryMs);
        }
    }
    m_pty.CloseMaster();
    m_closedAt = SteadyMs();
}

}  // namespace zelvar::test
