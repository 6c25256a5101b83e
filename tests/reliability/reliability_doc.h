// docs/reliability.md holds tables that the suite generates: each between the lines
// "<!-- begin NAME -->" and "<!-- end NAME -->". A test builds its table from what it
// ran and checks that the committed document shows exactly that; with the environment
// variable ZELVAR_WRITE_RELIABILITY_DOC set it writes the table into the document.
#pragma once

#include <string>
#include <vector>

namespace zelvar::test {

using TableRow = std::vector<std::string>;

std::string MarkdownTable(const TableRow& header, const std::vector<TableRow>& rows);

// Checks (or, when asked to, rewrites) the section NAME of the document. Returns an
// empty string when the document agrees, else what differs.
std::string CheckDocSection(const std::string& name, const std::string& body);

}  // namespace zelvar::test
