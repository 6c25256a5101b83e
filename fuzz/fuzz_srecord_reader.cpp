// Fuzzes the S-record reader: every record decoded, the scan, and the frames cut from
// arbitrary text. Properties: decoding stays within its line and its 256 data units,
// frames are well formed with at most 2048 data bytes, and the frames end.
#include <cstddef>
#include <cstdint>

#include "fuzz_file.h"
#include "image/srecord_reader.h"

using namespace zelvar;
using fuzz::Require;

namespace {

// Checks a data frame's length field, pad byte and checksum.
void CheckFrame(const CLoaderRecord& record) {
    const uint8_t* bytes = record.Bytes();
    const std::size_t length = record.Length();
    Require(record.DataCount() <= kFrameMaxData, "frame over 2048 data bytes");
    Require(length == 4u + record.DataCount() + (record.DataCount() & 1) + 6, "frame length");
    Require(bytes[0] == 0x5B && bytes[length - 1] == 0x5D, "frame brackets");
    const std::size_t payload = length - 6;
    Require((static_cast<std::size_t>(bytes[1]) << 8 | bytes[2]) * 2 == payload, "length field");
    uint16_t checksum = 0;
    for (std::size_t i = 0; i < payload; i += 2) {
        checksum ^= static_cast<uint16_t>(bytes[3 + i] << 8 | bytes[4 + i]);
    }
    Require(bytes[3 + payload] == checksum >> 8 && bytes[4 + payload] == (checksum & 0xFF),
            "frame checksum");
}

void CheckRecords(CSRecordReader& reader, std::size_t size) {
    static SRecord record;
    std::size_t records = 0;
    for (;;) {
        const ReadResult result = reader.ReadRecord(record);
        if (result != ReadOk) break;
        Require(++records <= size, "more records than lines");
        if (record.type >= 1 && record.type <= 3) {
            // A 78-character line holds 37 bytes after "Sn": the address (type + 1
            // bytes), the data and the checksum byte.
            Require(record.count <= 35 - record.type, "a data record longer than its line");
        }
    }
}

void CheckFrames(CSRecordReader& reader, std::size_t size) {
    static CLoaderRecord record;
    std::size_t dataBytes = 0;
    for (std::size_t frames = 0;; ++frames) {
        Require(frames <= size + 1, "frames never end");
        if (!reader.NextRecord(record)) return;
        if (record.DataCount() == 0) return;
        CheckFrame(record);
        dataBytes += record.DataCount();
        Require(dataBytes <= size, "more data bytes than the text holds");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static CSRecordReader reader;
    const char* path = fuzz::WriteScratchFile(data, size);
    Require(reader.Open(path), "open");
    CheckRecords(reader, size);
    reader.Rewind();
    if (reader.Probe()) {
        if (reader.Scan()) {
            reader.Rewind();
            CheckFrames(reader, size);
        }
    }
    reader.Close();
    return 0;
}
