#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "image/composite_builder.h"
#include "image/srecord_reader.h"

namespace zelvar::cli {

namespace {

// Longest part file read: larger than any section the image can hold.
constexpr std::uintmax_t kPartFileLimit = 16u << 20;

// Reads no more than one byte past the limit, so an endless source (a device such as
// /dev/zero, a pipe) is refused instead of read for ever.
bool ReadPart(const std::string& path, std::string& out) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    out.assign(kPartFileLimit + 1, '\0');
    file.read(out.data(), static_cast<std::streamsize>(out.size()));
    if (file.bad()) return false;
    out.resize(static_cast<std::size_t>(file.gcount()));
    return out.size() <= kPartFileLimit;
}

// The SFLD section must be S-record text that the loader's own reader accepts.
bool IsSRecordText(const std::string& path) {
    CSRecordReader reader;
    const bool valid = reader.Open(path.c_str()) && reader.Probe() && reader.Scan();
    reader.Close();
    return valid;
}

int Fail(const std::string& text) {
    std::fprintf(stderr, "zelvar: %s\n", text.c_str());
    return kExitUploadFailed;
}

}  // namespace

int RunMakeImageCommand(const MakeImageOptions& options) {
    std::string pfld, fw, sfld;
    if (!ReadPart(options.pfld, pfld)) return Fail("cannot read the PFLD file " + options.pfld);
    if (!ReadPart(options.fw, fw)) return Fail("cannot read the FW file " + options.fw);
    if (!options.sfld.empty()) {
        if (!ReadPart(options.sfld, sfld)) return Fail("cannot read the SFLD file " + options.sfld);
        if (!IsSRecordText(options.sfld)) {
            return Fail("the SFLD file is not valid S-record text: " + options.sfld);
        }
    }
    CompositeImageParts parts;
    parts.pfld.assign(pfld.begin(), pfld.end());
    parts.fw.assign(fw.begin(), fw.end());
    parts.sfld = sfld;
    std::string error;
    if (!WriteCompositeImage(parts, options.out.c_str(), error)) return Fail(error);
    std::printf("%s: PFLD %zu bytes, FW %zu bytes, %s\n", options.out.c_str(), pfld.size(),
                fw.size(), sfld.empty() ? "no SFLD section" : "SFLD section");
    return kExitSuccess;
}

}  // namespace zelvar::cli
