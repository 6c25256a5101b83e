// The receiver's end of the serial line: the master side of a pseudo-terminal, a link
// to its slave device, and the speed the loader has set on the slave side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zelvar::sim {

class CSimLine {
  public:
    CSimLine() = default;
    ~CSimLine();
    CSimLine(const CSimLine&) = delete;
    CSimLine& operator=(const CSimLine&) = delete;

    // Creates the pty (slave raw, 8N1, at speed) and, when linkPath is not empty, the link.
    bool Open(const std::string& linkPath, uint32_t speed, std::string& error);
    // Closes the master, as an unplugged adapter vanishes, and removes the link.
    void Close();
    bool IsOpen() const { return m_master >= 0; }

    int Master() const { return m_master; }
    const std::string& SlavePath() const { return m_slavePath; }
    const std::string& LinkPath() const { return m_linkPath; }

    // The output speed the other side has set on the slave, in bit/s (0 when unknown).
    uint32_t LineSpeed() const;
    // Reads what has arrived, without waiting: byte count, 0 when nothing, -1 on error.
    long Read(uint8_t* buffer, size_t capacity);
    // Writes one byte without waiting; false when the slave's queue is full.
    bool Write(uint8_t byte);

  private:
    int m_master = -1;
    int m_keeper = -1;  // our own slave descriptor, so the master never sees a hang-up
    std::string m_slavePath;
    std::string m_linkPath;
};

uint32_t SpeedFromTermios(unsigned long code);
unsigned long TermiosFromSpeed(uint32_t speed);

}  // namespace zelvar::sim
