#include "cli/station/unit_state.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "base/loader_events.h"
#include "cli/exit_codes.h"
#include "cli/json_names.h"
#include "cli/station/worker_status.h"
#include "upload/receiver_state.h"

namespace zelvar::cli {

namespace {

// From this phase on the receiver is no longer in its normal firmware's hands.
bool PhaseTouchesTheReceiver(std::string_view phase) {
    for (JobPhase touching :
         {JobPhase::Wake, JobPhase::Sfld, JobPhase::Erase, JobPhase::Program, JobPhase::Verify}) {
        if (phase == PhaseName(touching)) return true;
    }
    return false;
}

uint32_t NumberField(const JsonFields& fields, std::string_view name) {
    return static_cast<uint32_t>(std::strtoul(FieldOf(fields, name).c_str(), nullptr, 10));
}

void TakePhase(UnitState& unit, const std::string& phase) {
    if (phase == unit.phase) return;
    unit.phase = phase;
    if (PhaseTouchesTheReceiver(phase)) unit.uploadStarted = true;
    if (phase == PhaseName(JobPhase::Wake)) ++unit.passes;
    if (phase == PhaseName(JobPhase::Program)) unit.programStartSeconds = -1;
}

void TakeProgress(UnitState& unit, const JsonFields& fields, double now) {
    const std::string phase = FieldOf(fields, json::kPhase);
    if (!phase.empty() && phase != PhaseName(JobPhase::Program)) return;
    unit.uploadStarted = true;
    unit.done = NumberField(fields, json::kDone);
    unit.total = NumberField(fields, json::kTotal);
    if (unit.programStartSeconds < 0 || unit.done < unit.programStartDone) {
        unit.programStartSeconds = now;
        unit.programStartDone = unit.done;
        unit.bytesPerSecond = 0;
        return;
    }
    const double elapsed = now - unit.programStartSeconds;
    if (elapsed > 0) unit.bytesPerSecond = (unit.done - unit.programStartDone) / elapsed;
}

SectionWords SectionOf(const JsonFields& fields, const json::SectionNames& names) {
    return {FieldOf(fields, names.start), FieldOf(fields, names.length), FieldOf(fields, names.crc),
            FieldOf(fields, names.version)};
}

void TakeReceiver(UnitState& unit, const JsonFields& fields) {
    // A read-back once the upload began (the verification's) shows the receiver after it.
    const bool after = FieldOf(fields, json::kWhen) == json::kAfter || unit.uploadStarted;
    SectionWords& pfld = after ? unit.pfldAfter : unit.pfldBefore;
    SectionWords& fw = after ? unit.fwAfter : unit.fwBefore;
    pfld = SectionOf(fields, json::kPfld);
    fw = SectionOf(fields, json::kFw);
    // The receiver identifies itself (RID) by its main firmware's version field.
    (after ? unit.ridAfter : unit.ridBefore) = FieldOf(fields, json::kFw.version);
}

// The field as a whole decimal number; false when absent or not one.
bool ReadCount(const JsonFields& fields, std::string_view name, uint32_t& out) {
    const std::string text = FieldOf(fields, name);
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (*end != '\0' || value > UINT32_MAX) return false;
    out = static_cast<uint32_t>(value);
    return true;
}

bool ReadChance(const JsonFields& fields, std::string_view name, double& out) {
    const std::string text = FieldOf(fields, name);
    if (text.empty()) return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return *end == '\0' && out >= 0 && out <= 1;
}

// The programming's line figures of a result line; none unless all four are there.
std::optional<LineFigures> LineFiguresOf(const JsonFields& fields) {
    LineFigures line;
    if (!ReadCount(fields, json::kFramesSent, line.framesSent) ||
        !ReadCount(fields, json::kFramesRefused, line.framesRefused) ||
        !ReadCount(fields, json::kMeanFrameBytes, line.meanFrameBytes) ||
        !ReadChance(fields, json::kUndetectedChance, line.undetectedChance)) {
        return std::nullopt;
    }
    return line;
}

void TakeResult(UnitState& unit, const JsonFields& fields) {
    unit.hasResult = true;
    unit.exitCode =
        static_cast<int>(std::strtol(FieldOf(fields, json::kCode).c_str(), nullptr, 10));
    unit.resultText = FieldOf(fields, json::kText);
    unit.receiverState = FieldOf(fields, json::kState);
    unit.reason = FieldOf(fields, json::kReason);
    unit.line = LineFiguresOf(fields);
}

}  // namespace

std::string PortLabel(const std::string& port) {
    std::string label = port;
    while (label.size() > 1 && label.back() == '/') label.pop_back();
    const std::size_t slash = label.rfind('/');
    if (slash != std::string::npos) label.erase(0, slash + 1);
    if (label.size() > 1 && label.back() == ':') label.pop_back();
    return label;
}

void ApplyWorkerEvent(UnitState& unit, const JsonFields& fields, double nowSeconds) {
    const std::string kind = FieldOf(fields, json::kKind);
    const std::string phase = FieldOf(fields, json::kPhase);
    if (kind == json::kPhaseKind) {
        TakePhase(unit, phase);
    } else if (kind == json::kProgress) {
        TakeProgress(unit, fields, nowSeconds);
    } else if (kind == json::kReceiver) {
        TakeReceiver(unit, fields);
    } else if (kind == json::kResult) {
        TakeResult(unit, fields);
    } else if (kind == json::kMessage || kind == json::kStatus || kind == json::kAlert) {
        const std::string text = FieldOf(fields, json::kText);
        if (!text.empty()) unit.lastText = text;
    }
}

void ApplyWorkerEnd(UnitState& unit, int waitStatus, double nowSeconds) {
    unit.running = false;
    unit.finished = true;
    unit.seconds = nowSeconds - unit.startSeconds;
    if (unit.hasResult) return;
    const WorkerEnd end = DescribeWorkerEnd(waitStatus);
    unit.exitCode = end.code;
    unit.resultText = end.text;
    // Without the worker's word, a receiver it had begun to talk to is not vouched for.
    unit.reason = unit.resultText;
    unit.receiverState = ReceiverStateName(unit.uploadStarted ? ReceiverState::NotVouched
                                                              : ReceiverState::Unchanged);
    if (unit.uploadStarted) {
        unit.exitCode = kExitUploadFailed;
        unit.resultText = "Upload failed: " + unit.resultText;
    } else if (unit.exitCode == kExitSuccess) {
        unit.exitCode = kExitUploadFailed;  // no result and no error: nothing was confirmed
    }
}

int ProgramPercent(const UnitState& unit) {
    if (unit.total == 0) return 0;
    return static_cast<int>(static_cast<uint64_t>(unit.done) * 100 / unit.total);
}

double SecondsLeft(const UnitState& unit) {
    if (unit.bytesPerSecond <= 0 || unit.total < unit.done) return -1;
    return (unit.total - unit.done) / unit.bytesPerSecond;
}

}  // namespace zelvar::cli
