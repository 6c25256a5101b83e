// Reads Motorola S-record text from a file: decodes and verifies lines, scans an image
// for its start address, entry point and size, and packs its S3 data into loader record
// frames of at most 2048 bytes of consecutive addresses.
#pragma once

#include <cstdint>
#include <cstdio>

#include "image/loader_record.h"
#include "image/read_result.h"
#include "image/srecord.h"

namespace zelvar {

constexpr std::size_t kSRecordLineBuffer = 256;  // one gathered line with its terminator
constexpr int kSRecordLineRead = 255;            // limit handed to the line read
constexpr std::size_t kSRecordMaxLine = 78;      // an S3 line with 32 data bytes

class CSRecordReader {
  public:
    CSRecordReader() = default;
    ~CSRecordReader();
    CSRecordReader(const CSRecordReader&) = delete;
    CSRecordReader& operator=(const CSRecordReader&) = delete;

    bool Open(const char* path);
    void Close();
    ReadResult ReadLine(char* line);  // line: kSRecordLineBuffer bytes
    static bool VerifyChecksum(const char* line);
    ReadResult ReadRecord(SRecord& record);
    bool Probe();
    void Rewind();
    bool Scan();
    bool NextRecord(CLoaderRecord& record);

    ImageOrigin Mode() const { return m_mode; }
    uint32_t StartAddress() const { return m_startAddress; }
    uint32_t EntryPoint() const { return m_entryPoint; }
    uint32_t ImageSize() const { return m_imageSize; }

  private:
    PendingData m_pending;
    ImageOrigin m_mode = OriginNone;
    FILE* m_file = nullptr;
    uint32_t m_startAddress = 0;
    uint32_t m_entryPoint = 0;
    uint32_t m_imageSize = 0;
    char m_line[kSRecordLineBuffer] = {};
    SRecord m_record;
};

}  // namespace zelvar
