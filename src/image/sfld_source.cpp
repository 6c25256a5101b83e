#include "image/sfld_source.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/flash_map.h"
#include "base/message_log.h"
#include "image/app_directory.h"
#include "image/composite_builder.h"
#include "image/composite_layout.h"
#include "image/firmware_image.h"
#include "image/image_file.h"
#include "image/private_directory.h"

namespace zelvar {

namespace {

#ifndef ZELVAR_DATA_DIR
#define ZELVAR_DATA_DIR "/usr/local/share/zelvar"
#endif
#ifndef ZELVAR_PACKAGE_DATA_DIR
#define ZELVAR_PACKAGE_DATA_DIR "/usr/share/zelvar"
#endif
// Where `cmake --install` puts the data, then where the Debian package does.
constexpr const char* kInstalledSfldPaths[] = {ZELVAR_DATA_DIR "/sfld.hex",
                                               ZELVAR_PACKAGE_DATA_DIR "/sfld.hex"};
constexpr int64_t kCheckWordBytes = 4;
// The SFLD is a small program that runs from the receiver's RAM; its S-record text is a
// few dozen KiB. A longer tail is no SFLD section (a file padded or damaged at its end),
// and is never copied whole.
constexpr int64_t kMaxSectionBytes = 1 << 20;
constexpr std::size_t kCopyBlock = 4096;  // a multiple of 4: whole words per block
constexpr std::size_t kStatusBytes = kImagePathBytes + 32;
constexpr std::size_t kTempNameBytes = 64;  // "sfld_tmp-<pid>.hex"
constexpr long kMaxPid = 0x7FFFFFFFL;       // no process id of either system is larger

// This process's temporary file name.
void TempFileName(char (&name)[kTempNameBytes]) {
    std::snprintf(name, sizeof name, "%s%ld%s", kSfldTempPrefix, CurrentProcessId(),
                  kSfldTempSuffix);
}

// The process id in a temporary file name of ours, or 0 for any other name.
long OwnerOfTempFile(const char* name) {
    const std::size_t prefix = std::strlen(kSfldTempPrefix);
    if (std::strncmp(name, kSfldTempPrefix, prefix) != 0) return 0;
    const char* digits = name + prefix;
    char* end = nullptr;
    errno = 0;
    const long pid = std::strtol(digits, &end, 10);
    if (end == digits || *digits < '1' || *digits > '9' || errno != 0) return 0;
    if (std::strcmp(end, kSfldTempSuffix) != 0 || pid <= 0 || pid > kMaxPid) return 0;
    return pid;
}

// A temporary file of a loader process that has ended. A process that runs (or that we
// may not look at) keeps its file.
bool IsStaleTempFile(const char* name) {
    const long owner = OwnerOfTempFile(name);
    return owner != 0 && owner != CurrentProcessId() && HasProcessEnded(owner);
}

// Creates this process's temporary file afresh in the private directory, never
// through a link.
FILE* CreateTempFile() {
    RemovePrivateFiles(IsStaleTempFile);
    char name[kTempNameBytes];
    TempFileName(name);
    return CreatePrivateFile(name);
}

// Copies size bytes from image to temp; the XOR of the text goes to sum.
bool CopyText(FILE* image, FILE* temp, int64_t size, uint32_t& sum) {
    uint8_t block[kCopyBlock];
    sum = 0;
    while (size > 0) {
        const std::size_t want =
            size < static_cast<int64_t>(kCopyBlock) ? static_cast<std::size_t>(size) : kCopyBlock;
        if (std::fread(block, 1, want, image) != want) return false;
        if (std::fwrite(block, 1, want, temp) != want) return false;
        sum ^= XorWordsLE(block, want);
        size -= static_cast<int64_t>(want);
    }
    return true;
}

bool CopySection(FILE* image, int64_t start, int64_t length) {
    FILE* temp = CreateTempFile();
    if (temp == nullptr) return false;
    uint32_t sum = 0;
    uint32_t check = 0;
    bool ok = SeekImageFile(image, start, SEEK_SET) &&
              CopyText(image, temp, length - kCheckWordBytes, sum) && ReadWordLE(image, check);
    if (std::fclose(temp) != 0) ok = false;
    return ok && sum == check;
}

}  // namespace

bool GetSfldTempPath(char* out, std::size_t size) {
    char directory[kPathBytes];
    if (!GetPrivateDirectory(directory, sizeof(directory))) return false;
    char name[kTempNameBytes];
    TempFileName(name);
    const int written = std::snprintf(out, size, "%s%s", directory, name);
    return written > 0 && static_cast<std::size_t>(written) < size;
}

bool ExtractSfldSection(const char* imagePath) {
    if (imagePath == nullptr || std::strlen(imagePath) >= kImagePathBytes) return false;
    FILE* image = OpenImageFile(imagePath, "rb");
    if (image == nullptr) return false;
    int64_t start = 0;
    int64_t length = 0;
    const bool ok = LocateSfldSection(image, kMaxSectionBytes, start, length) &&
                    CopySection(image, start, length);
    std::fclose(image);
    return ok;
}

bool LoadSfld(const char* imagePath) {
    LogLine("Opening SFLD ...");
    char directory[kPathBytes];
    const bool haveDirectory = GetAppDirectory(directory);
    char path[kPathBytes] = "";
    bool havePath = false;
    if (ExtractSfldSection(imagePath)) {
        LogLine("SFLD section found");
        havePath = GetSfldTempPath(path, sizeof(path));
    } else {
        LogLine("SFLD section skipped");
        const int written = std::snprintf(path, sizeof(path), "%s%s",
                                          haveDirectory ? directory : "", kSfldFileName);
        havePath = haveDirectory && written > 0 && static_cast<std::size_t>(written) < sizeof(path);
        // An installed program finds the SFLD in the package's data directory instead.
        for (const char* installed : kInstalledSfldPaths) {
            if ((havePath && PathExists(path)) || !PathExists(installed)) continue;
            std::snprintf(path, sizeof(path), "%s", installed);
            havePath = true;
        }
    }
    if (!havePath || !g_sfldReader.Open(path)) {
        char status[kStatusBytes];
        std::snprintf(status, sizeof(status), "Can not open '%s'", path);
        ShowStatus(status);
        return false;
    }
    if (!g_sfldReader.Scan()) {
        LogLine("Incorrect SFLD.");
        return false;
    }
    LogLine("Complete");
    return true;
}

}  // namespace zelvar
