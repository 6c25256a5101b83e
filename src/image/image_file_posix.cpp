#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "image/image_file.h"

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

bool SeekImageFile(FILE* file, int64_t offset, int whence) {
    return fseeko(file, static_cast<off_t>(offset), whence) == 0;
}

int64_t TellImageFile(FILE* file) {
    return static_cast<int64_t>(ftello(file));
}

}  // namespace zelvar
