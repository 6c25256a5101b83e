// The simulated receiver's codes, memory map and every pause or time-out it uses.
#pragma once

#include <cstdint>

namespace zelvar::sim {

// Line speeds.
constexpr uint32_t kDefaultNormalSpeed = 4800;
constexpr uint32_t kLoaderSpeed = 19200;  // the resident loader, and the SFLD until attention
constexpr uint32_t kSfldSpeed = 115200;   // the SFLD after its first attention answer
constexpr int kBitsPerByte = 10;          // start bit, 8 data bits, stop bit

// Loader byte protocol.
constexpr uint8_t REC_ACK = 0x55;  // also the attention byte
constexpr uint8_t REC_WAIT = 0x77;
constexpr uint8_t BAD_CSUM = 0x81;
constexpr uint8_t BAD_LENGTH = 0x82;
constexpr uint8_t BAD_COMMAND = 0x83;
constexpr uint8_t ERASE_FAILED = 0x84;
constexpr uint8_t RECORD_TIMEOUT = 0x85;
constexpr uint8_t NO_REC_END = 0x88;
constexpr uint8_t SECTOR_ERASED = 0x8F;
constexpr uint8_t CMD_BOOT_MODE = 0x07;
constexpr uint8_t CMD_ERASE = 0x6A;
constexpr uint8_t CMD_VERSION = 0x90;
constexpr uint8_t CMD_FLASH_ID = 0x91;
constexpr uint8_t STEP_D = 0x44;  // resident loader dialogue steps
constexpr uint8_t STEP_E = 0x45;
constexpr uint8_t FRAME_OPEN = 0x5B;
constexpr uint8_t FRAME_CLOSE = 0x5D;
constexpr uint8_t kCorruptedAck = 0x54;  // what REC_ACK turns into on request: no protocol byte

// The seven bytes that take the receiver from normal operation into its resident loader.
constexpr uint8_t kBootRequest[7] = {0x24, 0x24, 0x00, 0x07, 0x0A, 0x00, 0x0D};

// Frames.
constexpr uint16_t kMaxFrameData = 2048;
constexpr uint16_t kMaxPayload = 4 + kMaxFrameData;  // address and data
constexpr uint16_t kRangePayload = 8;

// Memory map.
constexpr uint32_t kFlashStart = 0x10000000;
constexpr uint32_t kFlashSize = 0x110000;  // 1 MiB + 64 KiB: past the FW section's limit
constexpr uint32_t kSectorSize = 0x1000;   // 4 KiB sectors
constexpr uint32_t kPfldStart = 0x10000000;
constexpr uint32_t kPfldLimit = 0x10004000;  // boot-mode-only region ends here
constexpr uint32_t kFwStart = 0x10004000;
constexpr uint32_t kFwLimit = 0x10104000;
constexpr uint32_t kHeaderStartOffset = 0x20;
constexpr uint32_t kHeaderEndOffset = 0x24;
constexpr uint32_t kSfldRamSize = 0x10000;  // where the resident loader keeps the SFLD

// Pauses and time-outs (milliseconds).
constexpr int kDrainQuietMs = 100;      // quiet line after an error answer before REC_WAIT
constexpr int kRecordTimeoutMs = 1000;  // a frame that stops arriving is answered RECORD_TIMEOUT
// While a frame is awaited, the resident loader takes no command until the line has been
// quiet this long: the bytes of a frame whose opening bracket was lost come back to back.
constexpr int kArmedQuietMs = 100;
constexpr int kDefaultSectorEraseMs = 2;
constexpr int kMaxPollMs = 50;  // the event loop wakes at least this often
constexpr int kVanishedPollMs = 20;

// Buffers.
constexpr int kMaxSentence = 128;
constexpr int kMaxLoaderText = 64;
constexpr int kRxRingSize = 1 << 16;
constexpr int kTxRingSize = 1 << 16;
constexpr int kReadChunk = 4096;
constexpr std::size_t kMaxTraceEntries = 400000;

}  // namespace zelvar::sim
