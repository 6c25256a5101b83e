// The station's report of the units it flashed, one line or object per unit, as CSV or
// JSON by the file's extension.
#pragma once

#include <string>
#include <vector>

#include "cli/station/unit_record.h"

namespace zelvar::cli {

// Empty when a report can be written at path: a known extension (.csv or .json, of
// either case) and an existing, writable directory; else why not, naming path.
std::string CheckReportPath(const std::string& path);

// The report as it is written to a file: CSV with a header row and RFC 4180 quoting
// (lines end in CR LF), or a JSON array with one object per unit.
std::string CsvUnitReport(const std::vector<UnitRecord>& units);
std::string JsonUnitReport(const std::vector<UnitRecord>& units);

// Writes the report to a temporary file beside path and renames it over path, so path
// holds either its earlier contents or the whole report. False, with error set to
// "<path>: <reason>", when it could not.
bool WriteUnitReport(const std::string& path, const std::vector<UnitRecord>& units,
                     std::string& error);

}  // namespace zelvar::cli
