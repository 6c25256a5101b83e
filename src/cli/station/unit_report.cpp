#include "cli/station/unit_report.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "cli/json_output.h"
#include "cli/station/station_files.h"

namespace zelvar::cli {

namespace {

enum class ReportFormat { kNone, kCsv, kJson };

constexpr const char* kAcceptedExtensions = "a report file name ends in .csv or .json";

// One value of a unit: text, or a number written bare (empty when it has no value).
struct Cell {
    std::string text;
    bool number = false;
};

struct Field {
    const char* name;
    Cell (*value)(const UnitRecord&);
};

struct SectionField {
    const char* name;
    const SectionWords UnitRecord::*section;
};

struct WordField {
    const char* name;
    const std::string SectionWords::*word;
};

Cell Seconds(double seconds) {
    if (!std::isfinite(seconds)) return {"", true};
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return {text, true};
}

Cell Count(const std::optional<LineFigures>& line, uint32_t LineFigures::*figure) {
    return line ? Cell{std::to_string((*line).*figure), true} : Cell{"", true};
}

// The columns in report order; the sections come after ridAfter.
constexpr Field kLeadingFields[] = {
    {"port", [](const UnitRecord& u) { return Cell{u.port}; }},
    {"byIdName", [](const UnitRecord& u) { return Cell{u.byIdName}; }},
    {"imageName", [](const UnitRecord& u) { return Cell{u.imageName}; }},
    {"imageSha256", [](const UnitRecord& u) { return Cell{u.imageSha256}; }},
    {"resultText", [](const UnitRecord& u) { return Cell{u.resultText}; }},
    {"receiverState", [](const UnitRecord& u) { return Cell{u.receiverState}; }},
    {"reason", [](const UnitRecord& u) { return Cell{u.reason}; }},
    {"logPath", [](const UnitRecord& u) { return Cell{u.logPath}; }},
    {"ridBefore", [](const UnitRecord& u) { return Cell{u.ridBefore}; }},
    {"ridAfter", [](const UnitRecord& u) { return Cell{u.ridAfter}; }},
};

constexpr SectionField kSections[] = {{"pfldBefore", &UnitRecord::pfldBefore},
                                      {"fwBefore", &UnitRecord::fwBefore},
                                      {"pfldAfter", &UnitRecord::pfldAfter},
                                      {"fwAfter", &UnitRecord::fwAfter}};

constexpr WordField kWords[] = {{"start", &SectionWords::start},
                                {"length", &SectionWords::length},
                                {"crc", &SectionWords::crc},
                                {"version", &SectionWords::version}};

constexpr Field kTrailingFields[] = {
    {"exitCode",
     [](const UnitRecord& u) {
         return Cell{std::to_string(u.exitCode), true};
     }},
    {"passes",
     [](const UnitRecord& u) {
         return Cell{std::to_string(u.passes), true};
     }},
    {"seconds", [](const UnitRecord& u) { return Seconds(u.seconds); }},
    {"startedAt", [](const UnitRecord& u) { return Cell{u.startedAt}; }},
    // Added later, so they come last: empty for a unit that sent no frame.
    {"framesSent", [](const UnitRecord& u) { return Count(u.line, &LineFigures::framesSent); }},
    {"framesRefused",
     [](const UnitRecord& u) { return Count(u.line, &LineFigures::framesRefused); }},
    {"meanFrameBytes",
     [](const UnitRecord& u) { return Count(u.line, &LineFigures::meanFrameBytes); }},
    {"undetectedChance",
     [](const UnitRecord& u) {
         return u.line ? Cell{JsonNumber(u.line->undetectedChance), true} : Cell{"", true};
     }},
};

ReportFormat FormatOf(const std::string& path) {
    const std::size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return ReportFormat::kNone;
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == "csv") return ReportFormat::kCsv;
    if (extension == "json") return ReportFormat::kJson;
    return ReportFormat::kNone;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

// Calls add(name, cell) for every column of unit in report order; a section's words are
// named "<section>.<word>".
template <typename Add>
void ForEachCell(const UnitRecord& unit, Add add) {
    for (const Field& field : kLeadingFields) add(field.name, field.value(unit));
    for (const SectionField& section : kSections) {
        for (const WordField& word : kWords) {
            add(std::string(section.name) + "." + word.name,
                Cell{unit.*section.section.*word.word});
        }
    }
    for (const Field& field : kTrailingFields) add(field.name, field.value(unit));
}

void AppendCsvRow(std::string& out, const UnitRecord& unit, bool header) {
    std::string row;
    ForEachCell(unit, [&](const std::string& name, const Cell& cell) {
        if (!row.empty()) row += ',';
        row += CsvField(header ? name : cell.text);
    });
    out += row + "\r\n";
}

// A flat object: the section words keep their dotted names, as in the CSV header.
std::string JsonObject(const UnitRecord& unit) {
    std::string object;
    ForEachCell(unit, [&](const std::string& name, const Cell& cell) {
        object += object.empty() ? "{" : ",";
        object += JsonString(name) + ":";
        if (!cell.number) {
            object += JsonString(cell.text);
        } else {
            object += cell.text.empty() ? "null" : cell.text;
        }
    });
    return object + "}";
}

}  // namespace

std::string CheckReportPath(const std::string& path) {
    if (FormatOf(path) == ReportFormat::kNone) return path + ": " + kAcceptedExtensions;
    return CheckFileCanBeWritten(path);
}

std::string CsvUnitReport(const std::vector<UnitRecord>& units) {
    std::string out;
    AppendCsvRow(out, UnitRecord{}, true);
    for (const UnitRecord& unit : units) AppendCsvRow(out, unit, false);
    return out;
}

std::string JsonUnitReport(const std::vector<UnitRecord>& units) {
    std::string out = "[";
    for (std::size_t i = 0; i < units.size(); ++i) {
        out += (i == 0 ? "\n" : ",\n") + JsonObject(units[i]);
    }
    return out + "\n]\n";
}

bool WriteUnitReport(const std::string& path, const std::vector<UnitRecord>& units,
                     std::string& error) {
    switch (FormatOf(path)) {
        case ReportFormat::kCsv:
            return ReplaceFileWhole(path, CsvUnitReport(units), error);
        case ReportFormat::kJson:
            return ReplaceFileWhole(path, JsonUnitReport(units), error);
        case ReportFormat::kNone:
            break;
    }
    error = path + ": " + kAcceptedExtensions;
    return false;
}

}  // namespace zelvar::cli
