#include "upload_floor.h"

#include "image/loader_record.h"

namespace zelvar::bench {

namespace {
constexpr double kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
}  // namespace

void UploadFloor::AddFrame(const CLoaderRecord& record) {
    bytesSent += 1 + record.Length();
    bytesAnswered += 2;
}

double UploadFloor::WireMs() const {
    return static_cast<double>(bytesSent + bytesAnswered) * kBitsPerByte * 1000.0 / speed;
}

}  // namespace zelvar::bench
