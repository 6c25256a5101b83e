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

// Reads until expected arrives (1), or a ReadPortByte call comes back empty (0).
// Other bytes are dropped. Also 0 once the job is cancelled or the port lost.
int WaitForPortByte(PortHandle handle, uint8_t expected, uint8_t prompt);

// One handshake, frame and answer: 1 accepted, 0 refused, no handshake, or stopped.
int SendRecord(PortHandle handle, const CLoaderRecord& record);

// SendRecord; after a failure drains the loader until it waits for a frame again and
// returns 0.
int SendRecordWithRecovery(PortHandle handle, const CLoaderRecord& record);

// The status text of an error answer code, or nullptr for any other byte.
const char* AnswerErrorText(uint8_t code);

}  // namespace zelvar
