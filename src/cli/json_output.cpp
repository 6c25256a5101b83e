#include "cli/json_output.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "cli/json_names.h"

namespace zelvar::cli {

namespace {

// Length of the valid UTF-8 sequence that starts at text[i], or 0 when it is not one.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    uint32_t minimum = 0;
    uint32_t code = 0;
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

void AppendEscaped(std::string& out, unsigned char byte) {
    switch (byte) {
        case '"':
            out += "\\\"";
            return;
        case '\\':
            out += "\\\\";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        default:
            break;
    }
    if (byte < 0x20 || byte == 0x7F) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", byte);
        out += escape;
    } else {
        out += static_cast<char>(byte);
    }
}

}  // namespace

std::string JsonNumber(double value) {
    if (!std::isfinite(value)) return "0";  // JSON has no word for these
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    return text;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            out += "\\ufffd";
            ++i;
        } else if (length == 1) {
            AppendEscaped(out, static_cast<unsigned char>(text[i]));
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    out += '"';
    return out;
}

namespace {

// `,"<name>":` followed by value, as written. Appended piece by piece: GCC 12 warns
// falsely (-Wrestrict) on a chain of + that begins with a literal.
std::string Member(std::string_view name, const std::string& value) {
    std::string out(1, ',');
    out += JsonString(name);
    out += ':';
    out += value;
    return out;
}

// `{"kind":"<kind>"`, the start of every line.
std::string Kind(std::string_view kind) {
    std::string out(1, '{');
    out += JsonString(json::kKind);
    out += ':';
    out += JsonString(kind);
    return out;
}

}  // namespace

std::string JsonEvent(std::string_view kind, std::string_view text) {
    return Kind(kind) + Member(json::kText, JsonString(text)) + "}";
}

std::string JsonProgress(std::string_view text, uint32_t done, uint32_t total) {
    return Kind(json::kProgress) + Member(json::kText, JsonString(text)) +
           Member(json::kDone, std::to_string(done)) + Member(json::kTotal, std::to_string(total)) +
           "}";
}

std::string JsonQuestion(std::string_view caption, std::string_view text, bool answer) {
    return Kind(json::kQuestion) + Member(json::kCaption, JsonString(caption)) +
           Member(json::kText, JsonString(text)) +
           Member(json::kAnswer, JsonString(answer ? "yes" : "no")) + "}";
}

std::string JsonAlert(std::string_view caption, std::string_view text) {
    return Kind(json::kAlert) + Member(json::kCaption, JsonString(caption)) +
           Member(json::kText, JsonString(text)) + "}";
}

std::string JsonResult(int code, std::string_view text) {
    return Kind(json::kResult) + Member(json::kCode, std::to_string(code)) +
           Member(json::kText, JsonString(text)) + "}";
}

std::string JsonFlashResult(int code, std::string_view text, std::string_view state,
                            std::string_view reason, const std::optional<LineFigures>& line) {
    std::string out = Kind(json::kResult) + Member(json::kCode, std::to_string(code)) +
                      Member(json::kText, JsonString(text)) +
                      Member(json::kState, JsonString(state)) +
                      Member(json::kReason, JsonString(reason));
    if (line) {
        out += Member(json::kFramesSent, std::to_string(line->framesSent)) +
               Member(json::kFramesRefused, std::to_string(line->framesRefused)) +
               Member(json::kMeanFrameBytes, std::to_string(line->meanFrameBytes)) +
               Member(json::kUndetectedChance, JsonNumber(line->undetectedChance));
    }
    return out + "}";
}

std::string JsonPhase(std::string_view phase) {
    return JsonEvent(json::kPhaseKind, phase);
}

namespace {

std::string HexWord(uint32_t word) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(word));
    return text;
}

// The version as the connect shows it: the loader's from its flash text, the main
// firmware's as the receiver identifies itself.
std::string VersionField(const FlashSectionInfo& section) {
    return std::string(section.text, strnlen(section.text, sizeof section.text));
}

std::string SectionFields(const json::SectionNames& names, const FlashSectionInfo& section) {
    const bool present = section.length != 0;
    const auto word = [present](uint32_t value) {
        return JsonString(present ? HexWord(value) : std::string());
    };
    return Member(names.start, word(section.start)) + Member(names.length, word(section.length)) +
           Member(names.crc, word(section.crc)) +
           Member(names.version, JsonString(VersionField(section)));
}

}  // namespace

std::string JsonReceiver(std::string_view when, const ReceiverInfo& info) {
    const std::string text = "PFLD " + VersionField(info.pfld) + ", FW " + VersionField(info.main);
    return Kind(json::kReceiver) + Member(json::kText, JsonString(text)) +
           Member(json::kWhen, JsonString(when)) + SectionFields(json::kPfld, info.pfld) +
           SectionFields(json::kFw, info.main) + "}";
}

std::string JsonContext(double seconds, std::string_view port, std::string_view phase) {
    char t[32];
    std::snprintf(t, sizeof t, "%.3f", seconds < 0 ? 0.0 : seconds);
    return Member(json::kSeconds, t) + Member(json::kPort, JsonString(port)) +
           Member(json::kPhase, JsonString(phase));
}

}  // namespace zelvar::cli
