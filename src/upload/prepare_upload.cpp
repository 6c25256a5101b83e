#include "upload/prepare_upload.h"

#include "base/job_failure.h"
#include "base/loader_events.h"
#include "base/main_window.h"
#include "base/message_log.h"
#include "link/receiver_queries.h"

namespace zelvar {

std::atomic<bool> g_pfldMode{false};
UploadPlan g_uploadPlan;

namespace {

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
        NoteJobFailure("Canceled by user");
        LogLine("Canceled by user");
        return 0;
    }
    LogLine("PFLD mode ... On");
    g_pfldMode = true;
    return 1;
}

// Why the image was refused, as the job's failure says it; by ImageVerdict, in its order.
constexpr const char* kRefusalReasons[] = {
    "",  // Accepted
    "Image refused: no usable SFLD",
    "Image refused: the file cannot be opened",
    "Image refused: neither S-record text nor a composite image",
    "Image refused: its sections or check words are wrong",
    "Image refused: it does not start at the flash start",
    "Image refused: it cannot be read",
};

}  // namespace

int PrepareUpload(const char* imagePath) {
    EnterPhase(JobPhase::Prepare);
    g_pfldMode = false;
    const ImageVerdict verdict = PrepareImage(imagePath, g_uploadPlan);
    if (verdict != ImageVerdict::Accepted) {
        NoteJobFailure(kRefusalReasons[static_cast<int>(verdict)]);
        return 0;
    }
    if (!DecidePfldUpdate()) return 0;
    LogLine("Complete");
    return 1;
}

}  // namespace zelvar
