#include "cli/station/json_fields.h"

#include <cstdint>

namespace zelvar::cli {

namespace {

class CReader {
  public:
    explicit CReader(std::string_view text) : m_text(text) {}

    void SkipSpace() {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t' ||
                                        m_text[m_at] == '\r' || m_text[m_at] == '\n')) {
            ++m_at;
        }
    }
    bool Take(char c) {
        SkipSpace();
        if (m_at >= m_text.size() || m_text[m_at] != c) return false;
        ++m_at;
        return true;
    }
    bool AtEnd() {
        SkipSpace();
        return m_at == m_text.size();
    }
    char Peek() {
        SkipSpace();
        return m_at < m_text.size() ? m_text[m_at] : '\0';
    }
    bool String(std::string& out);
    bool Raw(std::string& out);

  private:
    bool Escape(std::string& out);
    bool Hex4(uint32_t& code);

    std::string_view m_text;
    std::size_t m_at = 0;
};

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool CReader::Hex4(uint32_t& code) {
    if (m_at + 4 > m_text.size()) return false;
    code = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = m_text[m_at++];
        code <<= 4;
        if (c >= '0' && c <= '9') {
            code |= static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            code |= static_cast<uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            code |= static_cast<uint32_t>(c - 'A' + 10);
        } else {
            return false;
        }
    }
    return true;
}

// The escapes of control characters, by the letter after the backslash.
constexpr std::string_view kEscapeLetters = "nrtbf";
constexpr std::string_view kEscapedBytes = "\n\r\t\b\f";

bool CReader::Escape(std::string& out) {
    if (m_at >= m_text.size()) return false;
    const char c = m_text[m_at++];
    if (c == 'u') {
        uint32_t code = 0;
        if (!Hex4(code)) return false;
        AppendUtf8(out, code);
        return true;
    }
    const std::size_t letter = kEscapeLetters.find(c);
    out += letter == std::string_view::npos ? c : kEscapedBytes[letter];  // '"', '\\', '/'
    return true;
}

bool CReader::String(std::string& out) {
    if (!Take('"')) return false;
    out.clear();
    while (m_at < m_text.size()) {
        const char c = m_text[m_at++];
        if (c == '"') return true;
        if (c != '\\') {
            out += c;
        } else if (!Escape(out)) {
            return false;
        }
    }
    return false;
}

// A value that is not a string: everything up to the ',' or '}' that ends it at this
// level of nesting, strings inside skipped whole.
bool CReader::Raw(std::string& out) {
    SkipSpace();
    const std::size_t begin = m_at;
    int depth = 0;
    bool inString = false;
    for (; m_at < m_text.size(); ++m_at) {
        const char c = m_text[m_at];
        if (inString) {
            if (c == '\\') ++m_at;
            if (c == '"') inString = false;
            continue;
        }
        if (c == '"') inString = true;
        if (c == '{' || c == '[') ++depth;
        if ((c == '}' || c == ']') && depth-- == 0) break;
        if (c == ',' && depth == 0) break;
    }
    if (depth > 0 || m_at == begin) return false;
    out = std::string(m_text.substr(begin, m_at - begin));
    while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
    return true;
}

}  // namespace

bool ParseJsonFields(std::string_view line, JsonFields& fields) {
    fields.clear();
    CReader reader(line);
    if (!reader.Take('{')) return false;
    if (reader.Take('}')) return reader.AtEnd();
    do {
        std::string name, value;
        if (!reader.String(name) || !reader.Take(':')) return false;
        const bool ok = reader.Peek() == '"' ? reader.String(value) : reader.Raw(value);
        if (!ok) return false;
        fields[name] = value;
    } while (reader.Take(','));
    return reader.Take('}') && reader.AtEnd();
}

std::string FieldOf(const JsonFields& fields, std::string_view name) {
    const auto it = fields.find(name);
    return it == fields.end() ? std::string() : it->second;
}

}  // namespace zelvar::cli
