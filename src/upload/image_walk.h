// An image's data as the upload sends it, one frame at a time.
#pragma once

#include <cstdint>
#include <functional>

namespace zelvar {

class CFirmwareImage;

// The flash address of a frame's first data byte, the bytes and their count.
using FrameData = std::function<void(uint32_t address, const uint8_t* data, uint32_t count)>;

// Walks the open, scanned image from its start up to its end frame, handing each data
// frame to take, and rewinds it again. False when the image cannot be read.
bool WalkImageFrames(CFirmwareImage& image, const FrameData& take);

}  // namespace zelvar
