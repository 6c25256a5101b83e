// The loader's side of the line in the simulator's tests: the slave device opened with
// termios, a few byte helpers, loader record frames built here, and small steps that
// drive the simulated receiver the way the loader does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_receiver.h"

namespace zelvar::sim::test {

using Bytes = std::vector<uint8_t>;

class SimTestLine {
  public:
    SimTestLine(const std::string& path, uint32_t speed);
    ~SimTestLine();
    SimTestLine(const SimTestLine&) = delete;
    SimTestLine& operator=(const SimTestLine&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    void SetSpeed(uint32_t speed);
    void Send(const Bytes& bytes);
    void Send(const std::string& text);
    void SendByte(uint8_t byte) { Send(Bytes{byte}); }
    // Until count bytes came or timeoutMs passed.
    Bytes Read(size_t count, int timeoutMs);
    // Until the line was quiet for quietMs (at most maxMs in all).
    Bytes ReadQuiet(int quietMs, int maxMs);
    // Reads until the byte came (true) or timeoutMs passed; what came before is in skipped.
    bool ReadUntil(uint8_t byte, int timeoutMs, Bytes* skipped = nullptr);
    void Purge();
    // Result of the last read: true when the device reported a hang-up or error.
    bool HungUp() const { return m_hungUp; }

  private:
    int m_fd = -1;
    bool m_hungUp = false;
};

Bytes DataFrame(uint32_t address, const Bytes& data);
Bytes RangeFrame(uint32_t first, uint32_t second);
Bytes EndFrame();
std::string Text(const Bytes& bytes);

// Starts a receiver; fails the current test when it cannot start.
std::unique_ptr<CSimReceiver> StartSim(const SimOptions& options);

// 0x55, REC_WAIT, the frame: the first answer byte after the frame (0 when none came).
uint8_t SendFrame(SimTestLine& line, const Bytes& frame, int answerTimeoutMs = 3000);

// A small SFLD as the tests send it, and the resident loader dialogue up to the started
// SFLD's attention answer; the line is at 115200 afterwards. False on any surprise.
Bytes TestSfld();
bool RunResidentDialogue(SimTestLine& line);
bool UploadSfld(SimTestLine& line, const Bytes& sfld);
bool WakeSfld(SimTestLine& line);

struct PassResult {
    bool versionSeen = false;
    Bytes flashId;             // the identification reply
    int sectors = 0;           // SECTOR_ERASED codes
    uint8_t eraseEnd = 0;      // byte that ended the erase
    uint8_t failedAnswer = 0;  // first refused frame's answer, 0 when none
    bool complete = false;
};

// One programming pass at 115200 as the loader runs it: version, identification, boot
// mode when asked, attention, erase with the range frame, data frames of 2048 bytes from
// image (flash addresses from kFlashStart), end frame.
PassResult ProgramPass(SimTestLine& line, const Bytes& image, uint32_t rangeEnd, bool bootMode);

// A composite image with a PFLD of pfldSize and a FW section of fwSize bytes.
Bytes MakeImage(size_t pfldSize, size_t fwSize, uint8_t seed);

}  // namespace zelvar::sim::test
