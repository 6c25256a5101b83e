// A scripted loader on the master side of a pty: it splits what the code under test
// sends into single bytes and whole loader record frames and lets the test answer each.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/pty_pair.h"

namespace zelvar::test {

class LoaderPeer {
  public:
    // What to send back for a single byte, or for a whole frame (its bytes as sent).
    using ByteRule = std::function<std::string(uint8_t byte)>;
    using FrameRule = std::function<std::string(const std::vector<uint8_t>& frame)>;

    LoaderPeer(PtyPair& pty, ByteRule onByte, FrameRule onFrame);
    ~LoaderPeer();
    LoaderPeer(const LoaderPeer&) = delete;
    LoaderPeer& operator=(const LoaderPeer&) = delete;

    std::vector<std::vector<uint8_t>> Frames();
    std::vector<uint8_t> Bytes();  // single bytes outside frames, in order
    int Count(uint8_t byte);       // how often byte came outside frames

  private:
    void Run();
    void Take(uint8_t byte);

    PtyPair& m_pty;
    ByteRule m_onByte;
    FrameRule m_onFrame;
    std::mutex m_mutex;
    std::vector<uint8_t> m_frame;  // frame being gathered
    std::vector<std::vector<uint8_t>> m_frames;
    std::vector<uint8_t> m_bytes;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace zelvar::test
