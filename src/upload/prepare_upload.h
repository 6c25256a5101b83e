// Upload preparation: the image checks (prepare_image.h), then the question whether the
// receiver's resident loader (PFLD) is to be rewritten, answered from the last connect's
// read-back. Nothing is sent to the receiver here.
#pragma once

#include <atomic>

#include "upload/prepare_image.h"

namespace zelvar {

// The user accepted a PFLD update: programming first puts the receiver in boot mode.
extern std::atomic<bool> g_pfldMode;
// Filled by PrepareUpload, read by flash programming on the same worker thread.
extern UploadPlan g_uploadPlan;

// 1 to go on with the upload, 0 to stop (every reason has been reported).
int PrepareUpload(const char* imagePath);

}  // namespace zelvar
