#include "cli/station/line_splitter.h"

namespace zelvar::cli {

namespace {

void HandOn(std::string& line, const CLineSplitter::LineHandler& onLine) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    onLine(line);
    line.clear();
}

}  // namespace

void CLineSplitter::Feed(const char* data, std::size_t size, const LineHandler& onLine) {
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            HandOn(m_line, onLine);
        } else if (m_line.size() < kMaxWorkerLineBytes) {
            m_line += data[i];
        }
    }
}

void CLineSplitter::Finish(const LineHandler& onLine) {
    if (!m_line.empty()) HandOn(m_line, onLine);
}

}  // namespace zelvar::cli
