// The device-free part of the upload preparation: the SFLD, the image's format, its
// sections and checksums, and so whether the loader takes the image at all. Each step
// is reported as the upload reports it; nothing is sent to a receiver. The upload runs
// it before the PFLD question, and `zelvar inspect` runs it alone.
#pragma once

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

// Whether the image is taken, and else the step that refused it. The reason has been
// reported by then (as some composite refusals are, without a line of their own).
// In this order: prepare_upload.cpp names the refusals by it.
enum class ImageVerdict {
    Accepted,
    NoSfld,       // no usable SFLD: "Can not open '...'" or "Incorrect SFLD."
    NotOpened,    // "File open error (...)": no regular file there, or a path too long
    FormatError,  // "Image Format Error (...)": neither S-record text nor a composite image
    Sections,     // a composite image's length, section headers, markers or checksums
    WrongStart,   // an S-record image that does not start at the flash start
    Unreadable,   // "Image read error.": the S-record image could not be walked
};

// Loads the SFLD, opens g_firmwareImage on imagePath and checks the image; plan is
// filled for an accepted image.
ImageVerdict PrepareImage(const char* imagePath, UploadPlan& plan);

// Checks a composite image on its open stream: the image's PFLD checksum when both
// sections are present and both checksums match, else 0. The stream is left anywhere.
uint32_t CheckCompositeImage(std::FILE* stream);

// Walks an S-record image (already scanned) frame by frame: fills eraseEnd and
// programBytes, and imagePfldCrc when the image covers a valid PFLD section. False
// when the image cannot be read.
bool SurveySRecordImage(UploadPlan& plan);

}  // namespace zelvar
