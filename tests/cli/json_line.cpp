#include "json_line.h"

#include <cctype>
#include <cstdint>

namespace zelvar::test {

namespace {

class CReader {
  public:
    explicit CReader(const std::string& text) : m_text(text) {}

    bool Object(std::map<std::string, std::string>& fields) {
        if (!Take('{')) return false;
        if (Take('}')) return AtEnd();
        do {
            std::string key, value;
            if (!String(key) || !Take(':') || !Value(value)) return false;
            if (fields.count(key) != 0) return false;
            fields[key] = value;
        } while (Take(','));
        return Take('}') && AtEnd();
    }

  private:
    bool AtEnd() const { return m_pos == m_text.size(); }
    bool Take(char c) {
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }
    bool Value(std::string& out) {
        if (m_pos < m_text.size() && m_text[m_pos] == '"') return String(out);
        if (m_text.compare(m_pos, 4, "null") == 0) {
            m_pos += 4;
            out = "null";
            return true;
        }
        const std::size_t start = m_pos;
        Take('-');
        const std::size_t whole = Digits();
        if (whole == 0) return false;
        if (Take('.') && Digits() == 0) return false;
        if (Take('e') || Take('E')) {
            if (!Take('-')) Take('+');
            if (Digits() == 0) return false;
        }
        out = m_text.substr(start, m_pos - start);
        return true;
    }
    std::size_t Digits() {
        const std::size_t start = m_pos;
        while (m_pos < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text[m_pos]))) {
            ++m_pos;
        }
        return m_pos - start;
    }
    bool String(std::string& out) {
        if (!Take('"')) return false;
        while (m_pos < m_text.size()) {
            const auto c = static_cast<unsigned char>(m_text[m_pos++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c != '\\') {
                out += static_cast<char>(c);
            } else if (!Escape(out)) {
                return false;
            }
        }
        return false;
    }
    bool Escape(std::string& out) {
        if (m_pos >= m_text.size()) return false;
        const char c = m_text[m_pos++];
        switch (c) {
            case '"':
            case '\\':
            case '/':
                out += c;
                return true;
            case 'n':
                out += '\n';
                return true;
            case 'r':
                out += '\r';
                return true;
            case 't':
                out += '\t';
                return true;
            case 'b':
                out += '\b';
                return true;
            case 'f':
                out += '\f';
                return true;
            case 'u':
                return Unicode(out);
            default:
                return false;
        }
    }
    bool Unicode(std::string& out) {
        if (m_pos + 4 > m_text.size()) return false;
        uint32_t code = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = m_text[m_pos++];
            if (!std::isxdigit(static_cast<unsigned char>(h))) return false;
            code = code * 16 + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(h))
                                                         ? h - '0'
                                                         : std::tolower(h) - 'a' + 10);
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | code >> 12);
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
        return true;
    }

    const std::string& m_text;
    std::size_t m_pos = 0;
};

}  // namespace

bool ParseJsonLine(const std::string& line, std::map<std::string, std::string>& fields) {
    fields.clear();
    return CReader(line).Object(fields);
}

}  // namespace zelvar::test
