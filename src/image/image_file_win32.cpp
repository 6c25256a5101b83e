#include <windows.h>

#include <cstdio>

#include "base/wide_text.h"
#include "image/image_file.h"

namespace zelvar {

namespace {

// A regular file: not a directory, and not a device such as COM1 or NUL.
bool IsRegularFile(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    return (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

}  // namespace

FILE* OpenImageFile(const char* path, const char* mode) {
    if (path == nullptr || mode == nullptr) return nullptr;
    const std::wstring wide = WideFromUtf8(path);
    if (wide.empty() || !IsRegularFile(wide)) return nullptr;
    // Images are read in binary whatever the mode says; "r" would turn CR LF into LF.
    return _wfopen(wide.c_str(), L"rb");
}

bool SeekImageFile(FILE* file, int64_t offset, int whence) {
    return _fseeki64(file, offset, whence) == 0;
}

int64_t TellImageFile(FILE* file) {
    return _ftelli64(file);
}

}  // namespace zelvar
