#include "upload/image_walk.h"

#include <memory>

#include "image/firmware_image.h"
#include "image/loader_record.h"

namespace zelvar {

namespace {
constexpr std::size_t kFrameDataOffset = 7;  // "[", length word, 32-bit address
}

bool WalkImageFrames(CFirmwareImage& image, const FrameData& take) {
    auto record = std::make_unique<CLoaderRecord>();
    image.Rewind();
    for (;;) {
        if (!image.NextRecord(*record)) return false;
        const uint32_t n = record->DataCount();
        if (n == 0) break;
        take(record->BaseAddress(), record->Bytes() + kFrameDataOffset, n);
    }
    image.Rewind();
    return true;
}

}  // namespace zelvar
