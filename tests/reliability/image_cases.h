// The images the image-input tests hand to zelvar: every broken shape, each with the
// lines `zelvar inspect` prints for it, and sound images that the loader takes. zelvar
// runs from a private copy with an "sfld.hex" beside it, so that images without a
// usable SFLD section reach the image checks too.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/test_env.h"
#include "support/zelvar_runner.h"

namespace zelvar::test {

constexpr const char* kFormatError = "Image Format Error (";
constexpr const char* kRefused = "Verdict: refused";
constexpr const char* kAccepted = "Verdict: accepted";
constexpr double kInspectLimitSeconds = 20;

struct ImageCase {
    std::string name;
    std::function<void(const std::string& path)> make;
    std::vector<std::string> lines;  // lines inspect must print, in any order
    bool noSfldBesideProgram = false;
};

// Each is refused; its lines end with kRefused.
std::vector<ImageCase> BrokenImages();
// Each is accepted; its lines end with kAccepted.
std::vector<ImageCase> SoundImages();

class ProgramCopyTest : public ::testing::Test {
  protected:
    void SetUp() override;
    ZelvarRun Run(const std::vector<std::string>& args, double limitSeconds = kInspectLimitSeconds);
    ZelvarRun Inspect(const std::string& image, double limitSeconds = kInspectLimitSeconds) {
        return Run({"inspect", image}, limitSeconds);
    }
    // Takes "sfld.hex" away from beside the program, or puts it back.
    void SetSfldBesideProgram(bool present);

    TempDir dir;
    TempDir runtime;
    std::string program = dir.File("zelvar");
};

}  // namespace zelvar::test
