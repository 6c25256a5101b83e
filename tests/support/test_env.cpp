#include "test_env.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "base/main_window.h"
#include "base/message_log.h"

namespace zelvar::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zelvar-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_path = pattern + "/";
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

WindowFixture::WindowFixture(bool withLog) : m_window(std::make_shared<CHeadlessWindow>()) {
    SetMainWindow(m_window);
    if (withLog) CreateLogFile(m_dir.Path().c_str());
}

WindowFixture::~WindowFixture() {
    CloseLogFile();
    SetMainWindow(nullptr);
}

}  // namespace zelvar::test
