// Small enumerations shared by the image readers.
#pragma once

#include <cstdint>

namespace zelvar {

// Where a reader's image comes from.
enum ImageOrigin : uint8_t { OriginNone = 0, OriginFile = 1 };

// Outcome of gathering a line, a record or a block. Callers that only need success
// treat any non-zero value as success.
enum ReadResult : uint8_t { ReadError = 0, ReadOk = 1, ReadEnd = 2 };

}  // namespace zelvar
