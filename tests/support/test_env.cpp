#include "test_env.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>

#include "base/main_window.h"
#include "base/message_log.h"

namespace zelvar::test {

TempDir::TempDir() {
    // A fresh name of random letters, made by this call alone (create_directory is false
    // for a directory that was there).
    constexpr int kAttempts = 100;
    std::random_device seed;
    std::mt19937_64 random(seed());
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::string name = "zelvar-test-";
        for (int i = 0; i < 6; ++i) name += static_cast<char>('a' + random() % 26);
        std::error_code ec;
        if (std::filesystem::create_directory(base / name, ec)) {
            std::filesystem::permissions(base / name, std::filesystem::perms::owner_all, ec);
            m_path = (base / name).string() + "/";
            return;
        }
    }
    throw std::runtime_error("no temporary directory could be made");
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

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

namespace {

bool WriteWhole(const std::string& path, const char* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data, static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

}  // namespace

bool WriteFile(const std::string& path, const std::string& bytes) {
    return WriteWhole(path, bytes.data(), bytes.size());
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    return WriteWhole(path, reinterpret_cast<const char*>(bytes.data()), bytes.size());
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
