// Splits the bytes a worker writes into lines. A line longer than kMaxWorkerLineBytes is
// cut there (the rest up to its newline is dropped), so a worker that never ends its line
// cannot make the station's buffer grow.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace zelvar::cli {

constexpr std::size_t kMaxWorkerLineBytes = 4096;

class CLineSplitter {
  public:
    using LineHandler = std::function<void(const std::string& line)>;

    // Hands each complete line (without its '\n', a trailing '\r' removed) to onLine.
    void Feed(const char* data, std::size_t size, const LineHandler& onLine);
    // The end of the stream: a last line without its newline is handed on too.
    void Finish(const LineHandler& onLine);

  private:
    std::string m_line;  // at most kMaxWorkerLineBytes; further bytes are dropped
};

}  // namespace zelvar::cli
