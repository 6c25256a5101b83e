// A hostile receiver on the master side of a pty: for a while it answers whatever the
// loader writes, and speaks unasked, with seeded byte streams that mix noise with the
// protocol's own bytes and texts (answer codes, REC_WAIT storms, erase progress, version
// and reply lines, over-long lines, torn frames); then it closes the master, as an
// unplugged adapter would, so every call on the port must return.
#pragma once

#include <atomic>
#include <cstdint>
#include <random>
#include <string>
#include <thread>

#include "support/pty_pair.h"

namespace zelvar::test {

class CHostileReceiver {
  public:
    CHostileReceiver(PtyPair& pty, uint32_t seed, int talkMs);
    ~CHostileReceiver();
    CHostileReceiver(const CHostileReceiver&) = delete;
    CHostileReceiver& operator=(const CHostileReceiver&) = delete;

    // Waits until the master has been closed; returns the steady-clock time of the close
    // in milliseconds.
    long long WaitClosed();
    uint64_t BytesSent() const { return m_sent.load(); }

  private:
    void Run();
    std::string Chunk();
    void Send(const std::string& bytes);

    PtyPair& m_pty;
    std::mt19937 m_random;
    int m_talkMs;
    std::atomic<uint64_t> m_sent{0};
    std::atomic<long long> m_closedAt{0};
    std::thread m_thread;
};

// The steady clock in milliseconds.
long long SteadyMs();

}  // namespace zelvar::test
