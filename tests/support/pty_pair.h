// A pseudo-terminal for serial tests: the test (or a scripted peer) plays the receiver
// on the master side, the code under test opens the slave device by its path.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelvar::test {

class PtyPair {
  public:
    PtyPair();  // opens the pair; the slave starts raw, 8N1
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& SlavePath() const { return m_slavePath; }
    int Master() const { return m_master; }

    // Writes all bytes to the master side.
    void Send(const std::string& bytes);
    void Send(const std::vector<uint8_t>& bytes);
    // Reads what the code under test wrote, until count bytes or timeoutMs passed.
    std::vector<uint8_t> Receive(size_t count, int timeoutMs);
    // Reads everything that arrives within quietMs of silence (at most maxMs in all).
    std::vector<uint8_t> Drain(int quietMs = 50, int maxMs = 2000);
    // The line speed the slave side currently has (as set by the code under test).
    int SlaveSpeed() const;
    // Closes the master, as an unplugged adapter would vanish.
    void CloseMaster();
    // Closes the test's own slave descriptor (kept open so the master never sees EIO).
    void CloseSlaveKeeper();

  private:
    int m_master = -1;
    int m_slaveKeeper = -1;
    std::string m_slavePath;
};

}  // namespace zelvar::test
