// Sentences to the receiver, reply collection, the connect procedure and the flash
// read-back of the receiver's two sections.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/flash_map.h"
#include "link/port.h"

namespace zelvar {

constexpr uint32_t kWordReadFailed = 0xFFFFFFFF;
constexpr int kReplyBufferBytes = 1024;

// Line speeds the connect procedure uses.
constexpr int kLoaderProbeSpeed = 19200;  // the resident loader listens here
constexpr int kConnectOpenSpeed = 4800;   // Connect GPS opens the port at this speed
// Speeds probed with the port query, in this order, ended by 0.
constexpr int kProbeSpeeds[] = {4800, 57600, 19200, 115200, 9600, 0};

// Timing of one reply collection (milliseconds). A read waits up to kReplyReadWaitMs
// for its byte and returns the moment it arrives; kReplyEmptyReads reads that got
// nothing end the call (about one second of silence). Unrelated traffic that never
// falls silent for a whole read would hold the call forever, so the call also ends
// kReplyCallLimitMs after it started.
constexpr int kReplyEmptyReads = 10;
constexpr int kReplyReadWaitMs = 100;
constexpr int kReplyCallLimitMs = 2000;

struct FlashSectionInfo {
    uint8_t minor = 0;
    uint8_t major = 0;
    char text[9] = {};
    uint32_t start = 0;
    uint32_t length = 0;  // 0: no section
    uint32_t crc = 0;
};

struct ReceiverInfo {
    FlashSectionInfo main;
    FlashSectionInfo pfld;
    uint32_t speed = 0;
    uint8_t pflMode = 0;
    uint8_t connected = 0;
};

// The last Connect GPS's result, written on the dialog's thread while no job runs; read
// by the next upload job and the About box. An upload job's verification reads the
// receiver into a record of its own.
extern ReceiverInfo g_receiverInfo;
// A receiver answered the loader probe once in this process; never cleared.
extern std::atomic<bool> g_pflDetected;
// The reply line most recently collected, zero-terminated.
extern char g_replyBuffer[kReplyBufferBytes];

// Collects one line beginning with prefix; returns g_replyBuffer or nullptr.
const char* WaitForReply(PortHandle handle, const char* prefix, bool strict);
// 1 when the receiver answered and its sections were read; 0 otherwise, at once when the
// port refused one of the probe speeds (the refusal has been shown).
int ConnectReceiver(PortHandle handle, ReceiverInfo& info);
uint32_t ReadReceiverWord(uint32_t address, PortHandle handle);
// ReadReceiverWord's two halves, for a reader that keeps several queries on the line:
// the memory read in the form g_pflDetected calls for, and the next reply to one (its
// echoed address and value; false when none came or it could not be read).
PortResult SendWordQuery(uint32_t address, PortHandle handle);
bool AwaitWordReply(PortHandle handle, uint32_t& address, uint32_t& value);
// Reads the section at start (kFlashBase or kFwBase, flash_map.h) whose end lies below
// limit (the next section's start or kFlashEnd).
int ReadFlashSection(uint32_t start, uint32_t limit, FlashSectionInfo& info, PortHandle handle);

}  // namespace zelvar
