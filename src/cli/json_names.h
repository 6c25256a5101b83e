// The names in the JSON lines of `zelvar --json`: written by json_output.cpp and read
// back by the station from its workers. One place, so both sides always agree.
#pragma once

#include <string_view>

namespace zelvar::cli::json {

// Fields of every line.
constexpr std::string_view kKind = "kind";
constexpr std::string_view kText = "text";
// Fields of some kinds.
constexpr std::string_view kCaption = "caption";  // question, alert
constexpr std::string_view kAnswer = "answer";    // question
constexpr std::string_view kDone = "done";        // progress
constexpr std::string_view kTotal = "total";      // progress
constexpr std::string_view kCode = "code";        // result
constexpr std::string_view kState = "state";      // result of flash: the receiver's state
constexpr std::string_view kReason = "reason";    // result of flash: why it failed
constexpr std::string_view kWhen = "when";        // receiver
// Result of flash once frames were sent: the programming's line figures.
constexpr std::string_view kFramesSent = "frames_sent";
constexpr std::string_view kFramesRefused = "frames_refused";
constexpr std::string_view kMeanFrameBytes = "mean_frame_bytes";
constexpr std::string_view kUndetectedChance = "undetected_chance";
// The job context every line of a unit carries.
constexpr std::string_view kSeconds = "t";
constexpr std::string_view kPort = "port";
constexpr std::string_view kPhase = "phase";

// The kinds of line.
constexpr std::string_view kMessage = "message";
constexpr std::string_view kStatus = "status";
constexpr std::string_view kProgress = "progress";
constexpr std::string_view kQuestion = "question";
constexpr std::string_view kAlert = "alert";
constexpr std::string_view kPhaseKind = "phase";
constexpr std::string_view kReceiver = "receiver";
constexpr std::string_view kInfo = "info";
constexpr std::string_view kResult = "result";

// A receiver line's words of one section: "<section>_start" and so on.
struct SectionNames {
    std::string_view start, length, crc, version;
};
constexpr SectionNames kPfld{"pfld_start", "pfld_length", "pfld_crc", "pfld_version"};
constexpr SectionNames kFw{"fw_start", "fw_length", "fw_crc", "fw_version"};

// A receiver line's "when": the connect before the upload, or the verification's.
constexpr std::string_view kBefore = "before";
constexpr std::string_view kAfter = "after";

}  // namespace zelvar::cli::json
