#include <cstdio>
#include <cstring>
#include <string>

#include "base/message_log.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/image_summary.h"
#include "image/firmware_image.h"
#include "image/sfld_source.h"
#include "upload/prepare_upload.h"

namespace zelvar::cli {

namespace {

constexpr uint32_t kRequiredStart = 0x10000000;
constexpr std::size_t kLineBytes = 600;

void Status(const char* format, uint32_t value) {
    char text[kLineBytes];
    std::snprintf(text, sizeof text, format, value);
    ShowStatus(text);
}

// The checks of the upload preparation, in its order and with its lines, short of the
// PFLD question, which needs a receiver. True when the image would be accepted.
bool CheckLikePreparation(const char* path, UploadPlan& plan, bool& sfldLoaded) {
    char text[kLineBytes];
    sfldLoaded = LoadSfld(path);
    if (!sfldLoaded) return false;
    // The upload refuses a path longer than its reader takes; so does inspect.
    if (std::strlen(path) >= kImagePathBytes || !g_firmwareImage.Open(path)) {
        std::snprintf(text, sizeof text, "File open error (%s)", path);
        LogLine(text);
        return false;
    }
    std::snprintf(text, sizeof text, "Opening '%s' ...", path);
    LogLine(text);
    if (!g_firmwareImage.Scan()) {
        std::snprintf(text, sizeof text, "Image Format Error (%s)", path);
        ShowStatus(text);
        return false;
    }
    const bool srecord = g_firmwareImage.Format() == FormatSRecord;
    ShowStatus(srecord ? "Image type: Motorola S-Record" : "Image type: Binary");
    if (srecord) {
        Status("Image Start address: 0x%08X", g_firmwareImage.StartAddress());
        Status("Image Entry point: 0x%08X", g_firmwareImage.EntryPoint());
        std::snprintf(text, sizeof text, "Image Size: %lu bytes",
                      static_cast<unsigned long>(g_firmwareImage.ImageSize()));
        ShowStatus(text);
        if (g_firmwareImage.StartAddress() != kRequiredStart) return false;
        if (!SurveySRecordImage(plan)) {
            ShowStatus("Image read error.");
            return false;
        }
    } else {
        plan.imagePfldCrc = CheckCompositeImage(g_firmwareImage.BinaryStream());
        if (plan.imagePfldCrc == 0) return false;
    }
    return g_firmwareImage.StartAddress() == kRequiredStart;
}

void Describe(CConsoleOutput& output, const char* path, bool sfldLoaded) {
    char text[kLineBytes];
    const bool opened = g_firmwareImage.Origin() != OriginNone;
    const bool srecord = opened && g_firmwareImage.Format() == FormatSRecord;
    if (opened) {
        std::snprintf(text, sizeof text, "Format: %s",
                      srecord ? "Motorola S-Record" : "binary composite image");
        output.Info(text);
        std::snprintf(text, sizeof text, "Image: start 0x%08X, entry 0x%08X, size %u bytes",
                      g_firmwareImage.StartAddress(), g_firmwareImage.EntryPoint(),
                      g_firmwareImage.ImageSize());
        output.Info(text);
    }
    CompositeSummary summary;
    if (!srecord && SummariseComposite(path, summary)) {
        for (const std::string& line : DescribeComposite(summary)) output.Info(line);
    }
    if (sfldLoaded) {
        std::snprintf(text, sizeof text, "SFLD: start 0x%08X, entry 0x%08X, size %u bytes",
                      g_sfldReader.StartAddress(), g_sfldReader.EntryPoint(),
                      g_sfldReader.ImageSize());
        output.Info(text);
    }
}

}  // namespace

int RunInspectCommand(const InspectOptions& options) {
    CCliSession session({options.json, AnswerPolicy::AlwaysNo, false, ""});
    g_firmwareImage.Close();
    g_sfldReader.Close();
    UploadPlan plan;
    bool sfldLoaded = false;
    const bool accepted = CheckLikePreparation(options.image.c_str(), plan, sfldLoaded);
    Describe(session.Output(), options.image.c_str(), sfldLoaded);
    session.Output().Info(accepted ? "Verdict: accepted" : "Verdict: refused");
    return session.Finish(accepted ? kExitSuccess : kExitPreparationStopped,
                          accepted ? "accepted" : "refused");
}

}  // namespace zelvar::cli
