// Upload preparation: the SFLD, the image's format, sections and checksums, and the
// question whether the receiver's resident loader (PFLD) is to be rewritten. Nothing
// is sent to the receiver here.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>

namespace zelvar {

// What preparation learned about the image for programming it.
struct UploadPlan {
    // The image's PFLD checksum; 0 when the image carries no verified PFLD section.
    uint32_t imagePfldCrc = 0;
    // The erase range ends here: after the last byte the image programs.
    uint32_t eraseEnd = 0;
    // Data bytes the image programs in all (the progress total).
    uint32_t programBytes = 0;
};

// The user accepted a PFLD update: programming first puts the receiver in boot mode.
extern std::atomic<bool> g_pfldMode;
// Filled by PrepareUpload, read by flash programming on the same worker thread.
extern UploadPlan g_uploadPlan;

// 1 to go on with the upload, 0 to stop (every reason has been reported).
int PrepareUpload(const char* imagePath);

// Checks a composite image on its open stream: the image's PFLD checksum when both
// sections are present and both checksums match, else 0. The stream is left anywhere.
uint32_t CheckCompositeImage(std::FILE* stream);

// Walks an S-record image (already scanned) frame by frame: fills eraseEnd and
// programBytes, and imagePfldCrc when the image covers a valid PFLD section. False
// when the image cannot be read.
bool SurveySRecordImage(UploadPlan& plan);

}  // namespace zelvar
