// The loader record exchange: how one frame is handed to the receiver's loader (the
// PFLD or the SFLD) and acknowledged, and the recovery after a refused frame.
#pragma once

#include <cstdint>

#include "link/port.h"

namespace zelvar {

class CLoaderRecord;

// Answer codes of the receiver's loaders.
constexpr uint8_t REC_ACK = 0x55;   // frame accepted; also the attention byte we send
constexpr uint8_t REC_WAIT = 0x77;  // the loader waits for a frame
constexpr uint8_t REC_WAIT_CODE = REC_WAIT;
constexpr uint8_t BAD_CSUM = 0x81;
constexpr uint8_t BAD_LENGTH = 0x82;
constexpr uint8_t BAD_COMMAND = 0x83;
constexpr uint8_t RECORD_TIMEOUT = 0x85;
constexpr uint8_t NO_REC_END = 0x88;

// Result of an accepted frame whose answer came only after we asked again: the loader
// answered our 0x55 with 0x55, so it had taken the frame and moved on. For the end
// frame of the SFLD upload this means the SFLD already answered our attention byte.
constexpr int kAcceptedOnReask = 2;

// Reads until expected arrives (1), or a ReadPortByte call comes back empty (0).
// Other bytes are dropped, for kExpectedByteLimitMs at most. Also 0 once the job is
// cancelled or the port lost.
int WaitForPortByte(PortHandle handle, uint8_t expected, uint8_t prompt);

// One handshake, frame and answer: 1 (or kAcceptedOnReask) accepted, 0 refused, no
// handshake, no answer after kAnswerReasks re-asks, or stopped.
int SendRecord(PortHandle handle, const CLoaderRecord& record);

// Whether a frame the loader may already have taken can be written again. Data and end
// frames can (the same bytes programmed again change nothing); the range frame cannot:
// a loader that took it has begun the erase and would take a second copy as data.
enum RecordKind { RecordRepeatable, RecordOnce };

// What became of one frame's writes: the answers that refused it (the frame arrived
// spoilt) and whether a write was accepted with REC_ACK.
struct FrameReport {
    int refusals = 0;
    bool accepted = false;
};

// SendRecord; after a failure drains the loader until it waits for a frame again and
// writes the frame again, up to kFrameRewrites times. Non-zero accepted (as SendRecord),
// 0 failed with the loader drained.
// A RecordOnce frame that went unanswered is not asked for again nor re-written.
// When report is given, it is filled with what became of the frame.
int SendRecordWithRecovery(PortHandle handle, const CLoaderRecord& record,
                           RecordKind kind = RecordRepeatable, FrameReport* report = nullptr);

// The status text of an error answer code, or nullptr for any other byte.
const char* AnswerErrorText(uint8_t code);

}  // namespace zelvar
