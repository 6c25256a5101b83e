#include "loader_peer.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace zelvar::test {

namespace {
constexpr uint8_t kOpen = 0x5B;
constexpr std::size_t kFrameOverhead = 6;  // '[', length word, check word, ']'
}  // namespace

LoaderPeer::LoaderPeer(PtyPair& pty, ByteRule onByte, FrameRule onFrame)
    : m_pty(pty), m_onByte(std::move(onByte)), m_onFrame(std::move(onFrame)) {
    m_thread = std::thread([this] { Run(); });
}

LoaderPeer::~LoaderPeer() {
    m_stop = true;
    m_thread.join();
}

std::vector<std::vector<uint8_t>> LoaderPeer::Frames() {
    std::lock_guard lock(m_mutex);
    return m_frames;
}

std::vector<uint8_t> LoaderPeer::Bytes() {
    std::lock_guard lock(m_mutex);
    return m_bytes;
}

int LoaderPeer::Count(uint8_t byte) {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count(m_bytes.begin(), m_bytes.end(), byte));
}

void LoaderPeer::Take(uint8_t byte) {
    std::string reply;
    {
        std::lock_guard lock(m_mutex);
        if (m_frame.empty() && byte != kOpen) {
            m_bytes.push_back(byte);
            if (m_onByte) reply = m_onByte(byte);
        } else {
            m_frame.push_back(byte);
            if (m_frame.size() >= 3) {
                const std::size_t words = m_frame[1] << 8 | m_frame[2];
                if (m_frame.size() == words * 2 + kFrameOverhead) {
                    m_frames.push_back(m_frame);
                    if (m_onFrame) reply = m_onFrame(m_frame);
                    m_frame.clear();
                }
            }
        }
    }
    if (!reply.empty()) m_pty.Send(reply);
}

void LoaderPeer::Run() {
    while (!m_stop) {
        const int master = m_pty.Master();
        if (master < 0) return;
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 10) <= 0) continue;
        uint8_t buffer[4096];
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EAGAIN) continue;
            return;
        }
        for (ssize_t i = 0; i < n; ++i) Take(buffer[i]);
    }
}

}  // namespace zelvar::test
