#include "upload_test_support.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "image/app_directory.h"
#include "image/loader_record.h"
#include "support/test_env.h"

namespace zelvar::test {

std::vector<std::string> LogLines(const std::string& logText) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < logText.size()) {
        std::size_t end = logText.find("\r\n", begin);
        if (end == std::string::npos) end = logText.size();
        lines.push_back(logText.substr(begin, end - begin));
        begin = end + 2;
    }
    return lines;
}

bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& want) {
    std::size_t next = 0;
    for (const std::string& line : lines) {
        if (next < want.size() && line == want[next]) ++next;
    }
    return next == want.size();
}

int CountLines(const std::vector<std::string>& lines, const std::string& line) {
    int n = 0;
    for (const std::string& l : lines) n += l == line;
    return n;
}

void MakeDataFrame(CLoaderRecord& record, uint32_t address, uint16_t n) {
    std::vector<uint16_t> units(n);
    for (uint16_t i = 0; i < n; ++i) units[i] = i & 0xFF;
    record.Begin();
    record.Append(address, n, units.data());
    record.Finish();
}

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    const long long deadline = NowMs() + timeoutMs;
    while (!done()) {
        if (NowMs() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::string ProgramDirectory() {
    char directory[kPathBytes] = {};
    GetAppDirectory(directory);
    return directory;
}

ProgramFilesLock::ProgramFilesLock() {
    const std::string path = ProgramDirectory() + "upload-test.lock";
    m_fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd >= 0) flock(m_fd, LOCK_EX);
}

ProgramFilesLock::~ProgramFilesLock() {
    if (m_fd >= 0) close(m_fd);  // releases the lock
}

PrivateRuntimeDir::PrivateRuntimeDir(const std::string& dir) {
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) {
        m_old = old;
        m_hadOld = true;
    }
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
}

PrivateRuntimeDir::~PrivateRuntimeDir() {
    if (m_hadOld) {
        setenv("XDG_RUNTIME_DIR", m_old.c_str(), 1);
    } else {
        unsetenv("XDG_RUNTIME_DIR");
    }
}

SfldBesideProgram::SfldBesideProgram(const std::string& text)
    : m_path(ProgramDirectory() + "sfld.hex") {
    std::remove(m_path.c_str());
    if (!text.empty()) WriteFile(m_path, text);
}

SfldBesideProgram::~SfldBesideProgram() {
    std::remove(m_path.c_str());
}

}  // namespace zelvar::test
