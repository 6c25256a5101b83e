#include <cstdio>
#include <string>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/image_summary.h"
#include "image/firmware_image.h"
#include "image/sfld_source.h"
#include "upload/prepare_image.h"

namespace zelvar::cli {

namespace {

constexpr std::size_t kLineBytes = 600;

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
    CCliSession session({options.json, AnswerPolicy::AlwaysNo, false, "", ""});
    g_firmwareImage.Close();
    g_sfldReader.Close();
    // The upload's own checks decide, in its order and with its lines; only the PFLD
    // question, which needs a receiver, is left out.
    UploadPlan plan;
    const ImageVerdict verdict = PrepareImage(options.image.c_str(), plan);
    const bool accepted = verdict == ImageVerdict::Accepted;
    Describe(session.Output(), options.image.c_str(), verdict != ImageVerdict::NoSfld);
    session.Output().Info(accepted ? "Verdict: accepted" : "Verdict: refused");
    return session.Finish(accepted ? kExitSuccess : kExitPreparationStopped,
                          accepted ? "accepted" : "refused");
}

}  // namespace zelvar::cli
