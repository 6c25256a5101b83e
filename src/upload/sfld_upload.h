// The upload loop: boot entry, the PFLD dialogue by state byte, the SFLD upload at
// 19200 bit/s and the hand-over to flash programming at 115200 bit/s.
#pragma once

#include <cstdint>

#include "link/port.h"

namespace zelvar {

class CSRecordReader;

// Boot request, sent at the receiver's normal line speed.
constexpr uint8_t kBootRequest[] = {0x24, 0x24, 0x00, 0x07, 0x0A, 0x00, 0x0D};
// State bytes of the upload loop.
constexpr uint8_t kStateAttention = 0x55;
constexpr uint8_t kStateWaitRecWait = 0x44;
constexpr uint8_t kStateAskVersion = 0x45;

constexpr int kTextBufferBytes = 4096;

// 0 when the flash has been programmed; -1 when the job was cancelled, the port lost,
// or kFailedPassesAllowed passes failed (the loop retries every failed pass until then;
// a pass whose receiver stays silent for kDialogueSilenceMs fails and wakes it again).
// A line speed the port refuses ends the job at once (-1), without a new pass.
int RunUpload(PortHandle handle);
// The boot request(s) and the attention burst at 19200: 1 once sent, 0 when the port
// refused one of the line speeds (the refusal has been shown).
int WakeLoader(PortHandle handle);
// Non-zero when every frame was accepted: the end frame's result, kAcceptedOnReask
// when the started SFLD has already answered attention.
int UploadSfld(PortHandle handle, CSRecordReader& reader);

}  // namespace zelvar
