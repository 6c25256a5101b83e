// Test helpers for the image tests: an independent decoder of loader record frames and
// a collector that pulls every frame of an image into a sparse memory map.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "image/loader_record.h"

namespace zelvar::test {

struct DecodedFrame {
    bool valid = false;
    std::string problem;
    uint32_t address = 0;
    std::vector<uint8_t> data;  // data bytes without the pad byte
};

// Decodes a data frame from its wire bytes, checking brackets, length field, pad byte
// and checksum. dataCount tells where the data ends (the pad byte is not data).
DecodedFrame DecodeDataFrame(const uint8_t* bytes, std::size_t length, uint16_t dataCount);

struct CollectedImage {
    bool ok = true;
    std::string problem;
    std::map<uint32_t, uint8_t> memory;  // address -> byte, every byte sent once
    std::vector<uint32_t> frameAddresses;
    std::vector<uint16_t> frameSizes;
    std::size_t maxFrameData = 0;
};

// Calls next(record) until it returns a frame without data (or fails, or maxFrames pass)
// and decodes every frame; a byte sent twice or a malformed frame is a problem.
CollectedImage CollectFrames(const std::function<bool(CLoaderRecord&)>& next,
                             std::size_t maxFrames = 1 << 20);

std::vector<uint8_t> Bytes(std::initializer_list<int> values);

}  // namespace zelvar::test
