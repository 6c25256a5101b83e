#include "report_reading.h"

#include <sstream>

#include "json_line.h"

namespace zelvar::test {

bool ParseCsv(const std::string& text, std::vector<Row>& rows) {
    rows.clear();
    Row row;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"') {
                field += c;
            } else if (i + 1 < text.size() && text[i + 1] == '"') {
                field += text[++i];
            } else {
                quoted = false;
            }
        } else if (c == '"' && field.empty()) {
            quoted = true;
        } else if (c == ',') {
            row.push_back(field);
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            row.push_back(field);
            rows.push_back(row);
            row.clear();
            field.clear();
            ++i;
        } else if (c == '"' || c == '\r' || c == '\n') {
            return false;  // unquoted, these break the row apart
        } else {
            field += c;
        }
    }
    return !quoted && row.empty() && field.empty();
}

bool ParseJsonReport(const std::string& text,
                     std::vector<std::map<std::string, std::string>>& out) {
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || line != "[") return false;
    while (std::getline(lines, line) && line != "]") {
        if (!line.empty() && line.back() == ',') line.pop_back();
        std::map<std::string, std::string> fields;
        if (!test::ParseJsonLine(line, fields)) return false;
        out.push_back(fields);
    }
    return line == "]" && !std::getline(lines, line);
}

}  // namespace zelvar::test
