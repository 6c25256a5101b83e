// Progress of flash programming for front ends (progress bars, JSON output). The hook
// is called on the worker thread after every accepted data frame, with the data bytes
// the receiver has taken so far and the bytes the image programs in all.
#pragma once

#include <cstdint>

namespace zelvar {

using UploadProgressHook = void (*)(uint32_t bytesDone, uint32_t bytesTotal);

// Installs hook (nullptr removes it). Safe to call from any thread.
void SetUploadProgressHook(UploadProgressHook hook);
void ReportUploadProgress(uint32_t bytesDone, uint32_t bytesTotal);

}  // namespace zelvar
