#include "frame_decode.h"

namespace zelvar::test {

DecodedFrame DecodeDataFrame(const uint8_t* bytes, std::size_t length, uint16_t dataCount) {
    DecodedFrame frame;
    if (length < 6 || bytes[0] != 0x5B || bytes[length - 1] != 0x5D) {
        frame.problem = "bad brackets or length";
        return frame;
    }
    const std::size_t payload = (static_cast<std::size_t>(bytes[1]) << 8 | bytes[2]) * 2;
    if (payload + 6 != length) {
        frame.problem = "length field does not match the frame";
        return frame;
    }
    uint16_t checksum = 0;
    for (std::size_t i = 0; i < payload; i += 2) {
        checksum ^= static_cast<uint16_t>(bytes[3 + i] << 8 | bytes[4 + i]);
    }
    if (bytes[3 + payload] != (checksum >> 8) || bytes[4 + payload] != (checksum & 0xFF)) {
        frame.problem = "checksum mismatch";
        return frame;
    }
    if (payload < 4 || 4u + dataCount > payload || payload - 4 - dataCount > 1) {
        frame.problem = "data count does not fit the payload";
        return frame;
    }
    if (payload - 4 - dataCount == 1 && bytes[3 + payload - 1] != 0) {
        frame.problem = "pad byte is not zero";
        return frame;
    }
    frame.address = static_cast<uint32_t>(bytes[3]) << 24 | static_cast<uint32_t>(bytes[4]) << 16 |
                    static_cast<uint32_t>(bytes[5]) << 8 | bytes[6];
    frame.data.assign(bytes + 7, bytes + 7 + dataCount);
    frame.valid = true;
    return frame;
}

CollectedImage CollectFrames(const std::function<bool(CLoaderRecord&)>& next,
                             std::size_t maxFrames) {
    CollectedImage image;
    CLoaderRecord record;
    for (std::size_t n = 0; n < maxFrames; ++n) {
        if (!next(record)) {
            image.ok = false;
            image.problem = "NextRecord failed";
            return image;
        }
        if (record.DataCount() == 0) return image;
        const DecodedFrame frame =
            DecodeDataFrame(record.Bytes(), record.Length(), record.DataCount());
        if (!frame.valid || frame.address != record.BaseAddress()) {
            image.ok = false;
            image.problem = frame.valid ? "base address differs from the frame" : frame.problem;
            return image;
        }
        image.frameAddresses.push_back(frame.address);
        image.frameSizes.push_back(record.DataCount());
        image.maxFrameData = std::max(image.maxFrameData, frame.data.size());
        for (std::size_t i = 0; i < frame.data.size(); ++i) {
            if (!image.memory.emplace(frame.address + static_cast<uint32_t>(i), frame.data[i])
                     .second) {
                image.ok = false;
                image.problem = "a byte was sent twice";
                return image;
            }
        }
    }
    image.ok = false;
    image.problem = "no frame without data";
    return image;
}

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values) out.push_back(static_cast<uint8_t>(v));
    return out;
}

}  // namespace zelvar::test
