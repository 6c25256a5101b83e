// Finding the SFLD: a section appended to the firmware image file, or "sfld.hex" beside
// the program. The one found is opened and scanned in g_sfldReader.
#pragma once

#include <cstddef>

namespace zelvar {

// The temporary file is "sfld_tmp-<pid>.hex": each loader process has its own, so two
// loaders flashing side by side never send each other's SFLD.
constexpr const char* kSfldTempPrefix = "sfld_tmp-";
constexpr const char* kSfldTempSuffix = ".hex";
constexpr const char* kSfldFileName = "sfld.hex";
constexpr std::size_t kImagePathBytes = 512;  // longest image path taken, with terminator

// Opens and scans g_sfldReader on the SFLD of the image at imagePath; reports each step.
bool LoadSfld(const char* imagePath);

// Copies the image's SFLD section (without its check word) into this process's private
// temporary file; true when the section exists, was copied and its check word matches.
// Temporary files left by loader processes that no longer run are removed first.
bool ExtractSfldSection(const char* imagePath);

// This process's temporary file path (in the private per-user directory) into out;
// false when the directory cannot be made safe or the path does not fit.
bool GetSfldTempPath(char* out, std::size_t size);

}  // namespace zelvar
