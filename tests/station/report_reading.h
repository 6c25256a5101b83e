// Readers of the unit report's two formats, strict enough that a malformed report fails.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace zelvar::test {

using Row = std::vector<std::string>;

// A strict RFC 4180 reader: rows end in CR LF, quoted fields double their quotes.
bool ParseCsv(const std::string& text, std::vector<Row>& rows);

// The objects of a JSON report, one a line between "[" and "]".
bool ParseJsonReport(const std::string& text, std::vector<std::map<std::string, std::string>>& out);

}  // namespace zelvar::test
