#include "image/image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelvar {

FILE* OpenImageFile(const char* path, const char* mode) {
    if (path == nullptr) return nullptr;
    // Non-blocking, so that opening a FIFO without a writer returns at once.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        close(fd);
        return nullptr;
    }
    FILE* file = fdopen(fd, mode);
    if (file == nullptr) close(fd);
    return file;
}

bool ReadWordLE(FILE* file, uint32_t& value) {
    uint8_t bytes[4];
    if (std::fread(bytes, 1, sizeof(bytes), file) != sizeof(bytes)) return false;
    value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
            static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return true;
}

}  // namespace zelvar
