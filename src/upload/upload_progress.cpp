#include "upload/upload_progress.h"

#include <atomic>

namespace zelvar {

namespace {
std::atomic<UploadProgressHook> g_progressHook{nullptr};
}  // namespace

void SetUploadProgressHook(UploadProgressHook hook) {
    g_progressHook.store(hook);
}

void ReportUploadProgress(uint32_t bytesDone, uint32_t bytesTotal) {
    if (UploadProgressHook hook = g_progressHook.load()) hook(bytesDone, bytesTotal);
}

}  // namespace zelvar
