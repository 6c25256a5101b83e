#include "upload/prepare_upload.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/main_window.h"
#include "base/message_log.h"
#include "base/shared_state.h"
#include "image/firmware_image.h"
#include "image/sfld_source.h"
#include "link/receiver_queries.h"
#include "upload/image_fields.h"

namespace zelvar {

std::atomic<bool> g_pfldMode{false};
UploadPlan g_uploadPlan;

namespace {

constexpr std::size_t kNarrowPathBytes = 512;
constexpr std::size_t kPathLineBytes = kNarrowPathBytes + 64;
constexpr uint32_t kRequiredStart = 0x10000000;

// A composite image programs its data frames from its start up to start + size.
void PlanComposite(UploadPlan& plan) {
    plan.eraseEnd = g_firmwareImage.StartAddress() + g_firmwareImage.ImageSize();
    plan.programBytes = g_firmwareImage.ImageSize();
}

// Scans the image and checks it; fills the plan. 0 when the image is refused.
int ExamineImage(const char* path) {
    char line[kPathLineBytes];
    if (!g_firmwareImage.Scan()) {
        std::snprintf(line, sizeof line, "Image Format Error (%s)", path);
        ShowStatus(line);
        return 0;
    }
    const bool srecord = g_firmwareImage.Format() == FormatSRecord;
    std::snprintf(line, sizeof line, "Image type: %s", srecord ? "Motorola S-Record" : "Binary");
    ShowStatus(line);
    g_uploadPlan = UploadPlan{};
    if (srecord) {
        ShowImageFields(g_firmwareImage.StartAddress(), g_firmwareImage.EntryPoint(),
                        g_firmwareImage.ImageSize());
    } else {
        g_uploadPlan.imagePfldCrc = CheckCompositeImage(g_firmwareImage.BinaryStream());
        if (g_uploadPlan.imagePfldCrc == 0) return 0;
        PlanComposite(g_uploadPlan);
    }
    if (g_firmwareImage.StartAddress() != kRequiredStart) return 0;
    if (srecord && !SurveySRecordImage(g_uploadPlan)) {
        ShowStatus("Image read error.");
        return 0;
    }
    return 1;
}

// The receiver's PFLD checksum against the image's; an image whose checksum is unknown
// (0) is never taken as up to date.
int DecidePfldUpdate() {
    const uint32_t receiverCrc = g_receiverInfo.pfld.crc;
    if (g_uploadPlan.imagePfldCrc != 0 && receiverCrc == g_uploadPlan.imagePfldCrc) {
        LogLine("PFL is up to date");
        return 1;
    }
    if (!AskUser("PFLD update requiered.\r\nContinue ?", " Warning: Unsafe mode", AskButtons::YesNo,
                 AskIcon::Warning)) {
        LogLine("Canceled by user");
        return 0;
    }
    LogLine("PFLD mode ... On");
    g_pfldMode = true;
    return 1;
}

}  // namespace

int PrepareUpload(const char* imagePath) {
    if (!LoadSfld(imagePath)) return 0;
    // A path longer than the reader's buffer is refused whole: cut short it would name
    // another file, and that file would be flashed.
    char path[kNarrowPathBytes];
    const bool fits = std::strlen(imagePath) < sizeof path;
    std::snprintf(path, sizeof path, "%.*s",
                  static_cast<int>(Utf8Prefix(imagePath, sizeof path - 1)), imagePath);
    char line[kPathLineBytes];
    if (!fits || !g_firmwareImage.Open(path)) {
        std::snprintf(line, sizeof line, "File open error (%s)", path);
        LogLine(line);
        return 0;
    }
    g_pfldMode = false;
    std::snprintf(line, sizeof line, "Opening '%s' ...", path);
    LogLine(line);
    if (!ExamineImage(path)) return 0;
    if (!DecidePfldUpdate()) return 0;
    LogLine("Complete");
    return 1;
}

}  // namespace zelvar
