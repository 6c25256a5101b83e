// Flash programming through the SFLD: version and flash identification, boot mode for
// a PFLD update, the erase of the image's range and the image's frames.
#pragma once

#include <cstdint>

#include "link/port.h"

namespace zelvar {

class CFirmwareImage;

// SFLD commands.
constexpr uint8_t CMD_VERSION = 0x90;
constexpr uint8_t CMD_FLASH_ID = 0x91;
constexpr uint8_t CMD_BOOT_MODE = 0x07;
constexpr uint8_t CMD_ERASE = 0x6A;
constexpr uint8_t CMD_ATTENTION = 0x55;

// Erase progress codes.
constexpr uint8_t SECTOR_ERASED = 0x8F;
constexpr uint8_t ERASE_FAILED = 0x84;
constexpr uint8_t ERASE_DONE = 0x55;

constexpr int kSfldReplyBytes = 256;  // version and identification replies

// 1 programmed, 0 failed (also when the job was cancelled or the port lost).
int IdentifyAndProgram(PortHandle handle);
int ProgramFlash(PortHandle handle, CFirmwareImage& image);
int WaitForErase(PortHandle handle);
// Shows a "$VER" text as its version number: the five leading characters and
// everything after the last digit are dropped; 5 characters or fewer show nothing.
void ShowVersionText(const char* text);

}  // namespace zelvar
