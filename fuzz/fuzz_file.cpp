#include "fuzz_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace zelvar::fuzz {

namespace {
char g_scratch[4096];  // a plain buffer: still valid while exit handlers run

void RemoveScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(g_scratch, ignored);
}
}  // namespace

const std::string& ScratchDirectory() {
    static const std::string directory = [] {
        const char* base = std::getenv("TMPDIR");
        std::snprintf(g_scratch, sizeof(g_scratch), "%s/zelvar-fuzz-XXXXXX",
                      base != nullptr ? base : "/tmp");
        if (mkdtemp(g_scratch) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit(RemoveScratch);
        return std::string(g_scratch) + "/";
    }();
    return directory;
}

const char* WriteScratchFile(const uint8_t* data, std::size_t size, std::size_t prefix) {
    static const std::string path = ScratchDirectory() + "input";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    Require(fd >= 0, "cannot create the scratch file");
    const std::vector<uint8_t> zeros(prefix, 0);
    Require(write(fd, zeros.data(), prefix) == static_cast<ssize_t>(prefix), "prefix write");
    Require(write(fd, data, size) == static_cast<ssize_t>(size), "scratch write");
    close(fd);
    return path.c_str();
}

void Require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}

}  // namespace zelvar::fuzz
