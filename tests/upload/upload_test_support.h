// Shared helpers of the upload tests: log lines, frames, a cross-process lock for the
// files beside the test program, and waiting with a deadline.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zelvar {
class CLoaderRecord;
}

namespace zelvar::test {

// The log file's lines, without their CR LF.
std::vector<std::string> LogLines(const std::string& logText);
// True when want appears in lines in this order (other lines may lie between).
bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& want);
int CountLines(const std::vector<std::string>& lines, const std::string& line);

// A data frame of n bytes (value i & 0xFF) at address.
void MakeDataFrame(CLoaderRecord& record, uint32_t address, uint16_t n);

// Polls until done() or timeoutMs passed; returns done().
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);

long long NowMs();

// Held by every test that uses the files beside the test program ("sfld.hex") or the
// SFLD temporary file, so parallel test processes do not trample each other.
class ProgramFilesLock {
  public:
    ProgramFilesLock();
    ~ProgramFilesLock();
    ProgramFilesLock(const ProgramFilesLock&) = delete;
    ProgramFilesLock& operator=(const ProgramFilesLock&) = delete;

  private:
    int m_fd = -1;
};

// Points the per-user private directory (the SFLD temporary file lives there) at dir
// for its lifetime, so test processes running side by side never share that file.
class PrivateRuntimeDir {
  public:
    explicit PrivateRuntimeDir(const std::string& dir);
    ~PrivateRuntimeDir();

  private:
    std::string m_old;
    bool m_hadOld = false;
};

// The test program's directory, with its trailing '/'.
std::string ProgramDirectory();

// Puts "sfld.hex" with text beside the test program for its lifetime (or makes sure
// there is none, for an empty text); removes it afterwards.
class SfldBesideProgram {
  public:
    explicit SfldBesideProgram(const std::string& text);
    ~SfldBesideProgram();

  private:
    std::string m_path;
};

}  // namespace zelvar::test
