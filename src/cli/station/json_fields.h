// Reads the flat JSON objects a worker prints with --json into their fields, leniently:
// fields in any order, unknown ones kept, nested values kept as their raw text.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace zelvar::cli {

using JsonFields = std::map<std::string, std::string, std::less<>>;

// The fields of line; false when it is not a JSON object. Strings are unescaped (\uXXXX
// into UTF-8); numbers, true, false, null and nested values are kept as written.
bool ParseJsonFields(std::string_view line, JsonFields& fields);

// The field's value, "" when absent.
std::string FieldOf(const JsonFields& fields, std::string_view name);

}  // namespace zelvar::cli
