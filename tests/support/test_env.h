// Test environment helpers: a private temporary directory and a headless main window
// installed (with a log file in the temporary directory) for the length of a test.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/headless_window.h"

namespace zelvar::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return m_path; }  // ends with '/'
    std::string File(const std::string& name) const { return m_path + name; }

  private:
    std::string m_path;
};

// Whole files, as text or bytes: a file that cannot be read reads empty; a write is
// false when the file could not be written whole.
std::string ReadFile(const std::string& path);
std::vector<uint8_t> ReadBytes(const std::string& path);
bool WriteFile(const std::string& path, const std::string& bytes);
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// Installs a CHeadlessWindow as the main window and opens the log file in a temporary
// directory; removes both on destruction.
class WindowFixture {
  public:
    explicit WindowFixture(bool withLog = true);
    ~WindowFixture();
    CHeadlessWindow& Window() { return *m_window; }
    std::shared_ptr<CHeadlessWindow> Shared() { return m_window; }
    const TempDir& Dir() const { return m_dir; }
    std::string LogPath() const { return m_dir.File("Zelvar.txt"); }
    std::string LogText() const { return ReadFile(LogPath()); }

  private:
    TempDir m_dir;
    std::shared_ptr<CHeadlessWindow> m_window;
};

}  // namespace zelvar::test
