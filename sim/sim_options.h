// What the simulated receiver is told at start: its line, flash, texts and the faults it
// is to show.
#pragma once

#include <cstdint>
#include <string>

#include "sim/sim_constants.h"

namespace zelvar::sim {

enum class SimMode { Normal, ResidentLoader, SecondLoader, Vanished };

// Faults on request. Counts are 1-based; 0 (or -1 where noted) switches a fault off.
// Every fault fires once, so the loader's next pass can show its recovery (the erase
// failure as often as eraseFailTimes says).
struct SimFaults {
    int badCsumFrame = 0;  // answer BAD_CSUM to the Nth frame received (any loader)
    // Flip the same bit in two payload words of the Nth frame, 32 bits apart: an error
    // neither the frame's check word nor the section's 32-bit sum can see.
    int spoilFrame = 0;
    int stormFrame = 0;  // before answering this frame, send stormCount REC_WAIT bytes
    int stormCount = 0;
    int eraseFailAfter = -1;     // after this many erased sectors send ERASE_FAILED
    int eraseFailTimes = 1;      // on this many erases
    int eraseUnknownAfter = -1;  // after this many erased sectors send eraseUnknownByte
    uint8_t eraseUnknownByte = 0x42;
    uint64_t silenceAfterBytes = 0;  // fall silent once this many bytes were received
    // Once a programming has completed, the flash word here is XORed with corruptWordMask
    // (before the flash is written out): the receiver restarts with a word other than the
    // image's. 0: off.
    uint32_t corruptWordAddress = 0;
    uint32_t corruptWordMask = 1;
    int silenceAfterFrame = 0;       // fall silent when this frame is complete, unanswered
    int silenceMs = 0;               // length of the silence; 0 means for good
    uint32_t answerOnlyAtSpeed = 0;  // send nothing while the receiver's speed is another
    uint64_t vanishAfterBytes = 0;   // close the line after this many received bytes
    // Line faults, only while a loader runs (resident loader or SFLD), drawn from
    // SimOptions::seed with a generator of their own (junk bytes are unaffected).
    double bitErrorRateIn = 0;   // per bit of each byte the receiver takes (10-bit UART frame)
    double bitErrorRateOut = 0;  // per bit of each byte the receiver sends
    uint64_t dropByteIn = 0;     // the Nth byte received (counted from start, 1-based) is lost
    int corruptAckFrame = 0;     // the REC_ACK answering frame N goes out as another byte
    int missHandshakeFrame = 0;  // the handshake 0x55 that would arm frame N is not heard
};

struct SimOptions {
    std::string linkPath;  // symbolic link to the device; empty: none
    uint32_t normalSpeed = kDefaultNormalSpeed;
    std::string versionText = "GQ07";  // version field of the identification reply
    std::string pfldVersion = "1.05";  // in the resident loader's "$VER PFLD ..." text
    std::string sfldVersion = "2.01";  // in the SFLD's "$VER SFLD ..." text
    uint8_t flashType = 5;             // the SFLD's identification reply
    uint8_t flashId[4] = {0x01, 0x22, 0x49, 0x00};
    bool pace = false;  // act and answer at the real line rate
    bool startInPfld = false;
    std::string flashIn;    // composite image loaded into flash at start
    std::string flashOut;   // flash written here after each programming and at stop
    int noisePeriodMs = 0;  // NMEA-like sentences in normal operation; 0: none
    int sectorEraseMs = kDefaultSectorEraseMs;
    std::string traceFile;  // every traced event also goes here, one line each
    uint32_t seed = 1;      // junk bytes and line faults come from this seed
    SimFaults faults;
};

}  // namespace zelvar::sim
