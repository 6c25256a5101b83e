// A strict reader for the flat JSON objects zelvar prints with --json: string, number
// and null values only. Lets the tests check that every line parses and read its fields.
#pragma once

#include <map>
#include <string>

namespace zelvar::test {

// Parses one line; false when it is not exactly one flat JSON object. String values
// are unescaped (\uXXXX into UTF-8), numbers and null kept as written.
bool ParseJsonLine(const std::string& line, std::map<std::string, std::string>& fields);

}  // namespace zelvar::test
