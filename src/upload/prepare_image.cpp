#include "upload/prepare_image.h"

#include <cstdio>
#include <cstring>

#include "base/flash_map.h"
#include "base/message_log.h"
#include "base/shared_state.h"
#include "image/firmware_image.h"
#include "image/sfld_source.h"
#include "upload/image_fields.h"

namespace zelvar {

namespace {

constexpr std::size_t kPathLineBytes = kImagePathBytes + 64;

// A composite image programs its data frames from its start up to start + size.
void PlanComposite(UploadPlan& plan) {
    plan.eraseEnd = g_firmwareImage.StartAddress() + g_firmwareImage.ImageSize();
    plan.programBytes = g_firmwareImage.ImageSize();
}

// Scans the open image and checks it; fills the plan.
ImageVerdict ExamineImage(const char* path, UploadPlan& plan) {
    char line[kPathLineBytes];
    if (!g_firmwareImage.Scan()) {
        std::snprintf(line, sizeof line, "Image Format Error (%s)", path);
        ShowStatus(line);
        return ImageVerdict::FormatError;
    }
    const bool srecord = g_firmwareImage.Format() == FormatSRecord;
    std::snprintf(line, sizeof line, "Image type: %s", srecord ? "Motorola S-Record" : "Binary");
    ShowStatus(line);
    plan = UploadPlan{};
    if (srecord) {
        ShowImageFields(g_firmwareImage.StartAddress(), g_firmwareImage.EntryPoint(),
                        g_firmwareImage.ImageSize());
    } else {
        plan.imagePfldCrc = CheckCompositeImage(g_firmwareImage.BinaryStream());
        if (plan.imagePfldCrc == 0) return ImageVerdict::Sections;
        PlanComposite(plan);
    }
    if (g_firmwareImage.StartAddress() != kFlashBase) return ImageVerdict::WrongStart;
    if (srecord && !SurveySRecordImage(plan)) {
        ShowStatus("Image read error.");
        return ImageVerdict::Unreadable;
    }
    return ImageVerdict::Accepted;
}

}  // namespace

ImageVerdict PrepareImage(const char* imagePath, UploadPlan& plan) {
    if (!LoadSfld(imagePath)) return ImageVerdict::NoSfld;
    // A path longer than the reader's buffer is refused whole: cut short it would name
    // another file, and that file would be flashed.
    char path[kImagePathBytes];
    const bool fits = std::strlen(imagePath) < sizeof path;
    std::snprintf(path, sizeof path, "%.*s",
                  static_cast<int>(Utf8Prefix(imagePath, sizeof path - 1)), imagePath);
    char line[kPathLineBytes];
    if (!fits || !g_firmwareImage.Open(path)) {
        std::snprintf(line, sizeof line, "File open error (%s)", path);
        LogLine(line);
        return ImageVerdict::NotOpened;
    }
    std::snprintf(line, sizeof line, "Opening '%s' ...", path);
    LogLine(line);
    return ExamineImage(path, plan);
}

}  // namespace zelvar
