#include "reliability_doc.h"

#include <cstdlib>
#include <fstream>

#include "support/test_env.h"

namespace zelvar::test {

namespace {

std::string DocPath() {
    return std::string(ZELVAR_SOURCE_DIR) + "/docs/reliability.md";
}

std::string Escape(const std::string& cell) {
    std::string out;
    for (char c : cell) {
        if (c == '|') out += '\\';
        out += c;
    }
    return out;
}

void AddCell(std::string& out, const std::string& cell) {
    out += ' ';
    out += Escape(cell);
    out += " |";
}

}  // namespace

std::string MarkdownTable(const TableRow& header, const std::vector<TableRow>& rows) {
    std::string out = "|";
    for (const std::string& cell : header) AddCell(out, cell);
    out += "\n|";
    for (std::size_t i = 0; i < header.size(); ++i) out += "---|";
    out += "\n";
    for (const TableRow& row : rows) {
        out += "|";
        for (const std::string& cell : row) AddCell(out, cell);
        out += "\n";
    }
    return out;
}

std::string CheckDocSection(const std::string& name, const std::string& body) {
    const std::string begin = "<!-- begin " + name + " -->\n";
    const std::string end = "<!-- end " + name + " -->";
    std::string doc = ReadFile(DocPath());
    const std::size_t from = doc.find(begin);
    const std::size_t to = from == std::string::npos ? from : doc.find(end, from);
    if (to == std::string::npos) return DocPath() + " has no section " + name;
    const std::size_t bodyStart = from + begin.size();
    const std::string committed = doc.substr(bodyStart, to - bodyStart);
    if (committed == body) return "";
    if (std::getenv("ZELVAR_WRITE_RELIABILITY_DOC") != nullptr) {
        doc.replace(bodyStart, to - bodyStart, body);
        std::ofstream(DocPath(), std::ios::binary | std::ios::trunc) << doc;
        return "";
    }
    return "section " + name + " of " + DocPath() +
           " differs from what the suite ran (set ZELVAR_WRITE_RELIABILITY_DOC=1 and rerun to "
           "regenerate it):\n--- committed\n" +
           committed + "--- ran\n" + body;
}

}  // namespace zelvar::test
