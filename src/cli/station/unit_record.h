// What the station keeps of one unit it flashed: the lines of the unit report.
#pragma once

#include <optional>
#include <string>

#include "cli/line_figures.h"

namespace zelvar::cli {

// The words of one section's header, as hex strings ("0x10000000"); empty when unknown.
struct SectionWords {
    std::string start, length, crc, version;
};

struct UnitRecord {
    std::string port, byIdName, imageName, imageSha256, resultText, logPath, ridBefore, ridAfter;
    std::string receiverState;  // in what state the job left the receiver ("verified", ...)
    std::string reason;         // why the unit failed; "" when it did not
    SectionWords pfldBefore, fwBefore, pfldAfter, fwAfter;
    int exitCode = 0;
    int passes = 0;  // passes of the upload begun (each begins in the wake step)
    double seconds = 0;
    std::string startedAt;            // ISO 8601 local time
    std::optional<LineFigures> line;  // from the flash programming; none when it sent no frame
};

}  // namespace zelvar::cli
