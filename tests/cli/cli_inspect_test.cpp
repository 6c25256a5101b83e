// zelvar inspect and make-image: what preparation would say of an image, without a
// receiver, and building the image in the first place.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "image_recipes.h"
#include "json_line.h"
#include "zelvar_runner.h"

namespace zelvar::test {
namespace {

constexpr std::size_t kPfldBytes = 0x2000;
constexpr std::size_t kFwBytes = 0x5000;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The first printed line that starts with start; empty when there is none.
std::string LineStarting(const std::string& out, const std::string& start) {
    std::size_t from = 0;
    while (from < out.size()) {
        std::size_t end = out.find('\n', from);
        if (end == std::string::npos) end = out.size();
        if (out.compare(from, start.size(), start) == 0) return out.substr(from, end - from);
        from = end + 1;
    }
    return "";
}

// zelvar is run from a copy with "sfld.hex" beside it while this lives, so that images
// without a usable SFLD section still reach the image checks.
class ProgramWithSfldHex {
  public:
    ProgramWithSfldHex() {
        std::filesystem::copy_file(ZelvarBinary(), m_dir.File("zelvar"));
        const CompositeImageParts parts = MakeParts(1, kPfldBytes, kFwBytes);
        WriteFile(m_dir.File("sfld.hex"), parts.sfld);
        setenv(kZelvarCopyVariable, m_dir.File("zelvar").c_str(), 1);
    }
    ~ProgramWithSfldHex() { unsetenv(kZelvarCopyVariable); }
    ProgramWithSfldHex(const ProgramWithSfldHex&) = delete;
    ProgramWithSfldHex& operator=(const ProgramWithSfldHex&) = delete;

  private:
    TempDir m_dir;
};

TEST(CliInspect, AcceptsASoundImageAndDescribesIt) {
    TempDir dir;
    const std::string image = WriteImage(dir, "fw.bin", MakeParts(1, kPfldBytes, kFwBytes));
    const ZelvarRun run = RunZelvar({"inspect", image});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "SFLD section found")) << run.out;
    EXPECT_TRUE(Contains(run.out, "Image type: Binary")) << run.out;
    EXPECT_TRUE(Contains(run.out, "PFLD section found at: 0x10000000, 0x10002000")) << run.out;
    EXPECT_TRUE(Contains(LineStarting(run.out, "PFLD CRC: "), "PASSED.")) << run.out;
    EXPECT_TRUE(Contains(LineStarting(run.out, "FW CRC: "), "PASSED.")) << run.out;
    EXPECT_TRUE(Contains(run.out, "FW section: 0x10004000 to 0x10009000")) << run.out;
    EXPECT_TRUE(Contains(LineStarting(run.out, "SFLD section: "), "(matches)")) << run.out;
    EXPECT_TRUE(Contains(run.out, "Verdict: accepted")) << run.out;
    EXPECT_FALSE(Contains(run.out, "does not match")) << run.out;
    EXPECT_FALSE(Contains(run.out, "PFLD update requiered")) << run.out;
}

TEST(CliInspect, RefusesBrokenImages) {
    const ProgramWithSfldHex program;
    TempDir dir;
    const std::string sound =
        ReadFile(WriteImage(dir, "fw.bin", MakeParts(1, kPfldBytes, kFwBytes)));
    struct Case {
        const char* name;
        std::string bytes;
        const char* lineStart;  // a line that starts so ...
        const char* lineHolds;  // ... and holds this
    };
    std::string pfldFlipped = sound;
    pfldFlipped[0x100] ^= 0x40;
    std::string fwHeader = sound;
    fwHeader[0x4027] = 0x30;  // FW end address far beyond the section's limit
    std::vector<Case> cases = {
        {"pfld-checksum.bin", pfldFlipped, "PFLD CRC: ", "FAILED."},
        {"fw-header.bin", fwHeader, "Incorrect Image", "Incorrect Image"},
        {"short.bin", sound.substr(0, 0x800), "Image Format Error (", "short.bin)"},
        {"empty.bin", "", "Image Start address: ", "0xFFFFFFFF"},
    };
    for (const Case& c : cases) {
        WriteFile(dir.File(c.name), c.bytes);
        const ZelvarRun run = RunZelvar({"inspect", dir.File(c.name)});
        EXPECT_EQ(run.exitCode, 3) << c.name << "\n" << run.out << run.err;
        EXPECT_TRUE(Contains(run.out, "Verdict: refused")) << c.name << "\n" << run.out;
        const std::string line = LineStarting(run.out, c.lineStart);
        EXPECT_FALSE(line.empty()) << c.name << ": no line \"" << c.lineStart << "\"\n" << run.out;
        EXPECT_TRUE(Contains(line, c.lineHolds)) << c.name << "\n" << run.out;
    }
    const ZelvarRun missing = RunZelvar({"inspect", dir.File("nothing-here.bin")});
    EXPECT_EQ(missing.exitCode, 3) << missing.out << missing.err;
    EXPECT_EQ(LineStarting(missing.out, "File open error ("),
              "File open error (" + dir.File("nothing-here.bin") + ")")
        << missing.out;
}

// The upload refuses a path longer than its reader takes, so inspect must not accept
// the image there.
TEST(CliInspect, RefusesASoundImageAtAPathTooLongForTheUpload) {
    TempDir dir;
    std::string folder = dir.Path();
    while (folder.size() < 520) {
        folder += std::string(200, 'd') + "/";
        std::filesystem::create_directory(folder);
    }
    const std::string image = folder + "fw.bin";
    WriteFile(image, ReadFile(WriteImage(dir, "fw.bin", MakeParts(1, kPfldBytes, kFwBytes))));
    // The SFLD section of so long a path is not read: "sfld.hex" beside the program
    // stands in, so only the path's length can refuse the image.
    const ProgramWithSfldHex program;
    const ZelvarRun run = RunZelvar({"inspect", image});
    EXPECT_EQ(run.exitCode, 3) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "File open error (")) << run.out;
}

TEST(CliInspect, ImageWithoutSfldNeedsSfldHexBesideTheProgram) {
    TempDir dir;
    const std::string image =
        WriteImage(dir, "nosfld.bin", MakeParts(1, kPfldBytes, kFwBytes, false));
    const ZelvarRun run = RunZelvar({"inspect", image});
    EXPECT_EQ(run.exitCode, 3) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "SFLD section skipped")) << run.out;
    EXPECT_TRUE(Contains(run.out, "SFLD section: none")) << run.out;
}

TEST(CliInspect, JsonLinesParse) {
    TempDir dir;
    const std::string image = WriteImage(dir, "fw.bin", MakeParts(1, kPfldBytes, kFwBytes));
    const ZelvarRun run = RunZelvar({"inspect", "--json", image});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    std::map<std::string, std::string> fields;
    std::map<std::string, int> kinds;
    for (const std::string& line : run.OutLines()) {
        ASSERT_TRUE(ParseJsonLine(line, fields)) << line;
        ++kinds[fields["kind"]];
    }
    EXPECT_GT(kinds["message"], 0);
    EXPECT_GT(kinds["status"], 0);
    EXPECT_GT(kinds["info"], 0);
    EXPECT_EQ(kinds["result"], 1);
}

TEST(CliMakeImage, BuildsTheSameImageAsTheBuilderAndInspectAcceptsIt) {
    TempDir dir;
    const CompositeImageParts parts = MakeParts(9, kPfldBytes, kFwBytes);
    WriteFile(dir.File("pfld.bin"), std::string(parts.pfld.begin(), parts.pfld.end()));
    WriteFile(dir.File("fw.bin"), std::string(parts.fw.begin(), parts.fw.end()));
    WriteFile(dir.File("sfld.hex"), parts.sfld);
    const ZelvarRun run =
        RunZelvar({"make-image", "--pfld", dir.File("pfld.bin"), "--fw", dir.File("fw.bin"),
                   "--sfld", dir.File("sfld.hex"), dir.File("out.bin")});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    std::vector<uint8_t> expected;
    std::string error;
    ASSERT_TRUE(BuildCompositeImage(parts, expected, error)) << error;
    EXPECT_EQ(ReadBytes(dir.File("out.bin")), expected);
    EXPECT_EQ(RunZelvar({"inspect", dir.File("out.bin")}).exitCode, 0);
}

TEST(CliMakeImage, RefusesPartsThatCannotMakeAnImage) {
    TempDir dir;
    WriteFile(dir.File("pfld.bin"), std::string(0x100, 'p'));
    WriteFile(dir.File("fw.bin"), std::string(0x100, 'f'));
    WriteFile(dir.File("big.bin"), std::string(0x5000, 'b'));  // over the PFLD's 16 KiB
    WriteFile(dir.File("sfld.txt"), "this is not S-record text\n");
    const std::vector<std::vector<std::string>> failing = {
        {"--pfld", dir.File("big.bin"), "--fw", dir.File("fw.bin")},
        {"--pfld", dir.File("pfld.bin"), "--fw", dir.File("missing.bin")},
        {"--pfld", dir.File("pfld.bin"), "--fw", dir.File("fw.bin"), "--sfld",
         dir.File("sfld.txt")},
        {"--pfld", dir.File("pfld.bin"), "--fw", "/dev/zero"},  // endless: never read whole
    };
    for (std::vector<std::string> args : failing) {
        args.insert(args.begin(), "make-image");
        args.push_back(dir.File("out.bin"));
        const ZelvarRun run = RunZelvar(args, "", 30);
        EXPECT_EQ(run.exitCode, 1) << args[2] << " " << args[4] << "\n" << run.err;
        EXPECT_TRUE(Contains(run.err, "zelvar: ")) << run.err;
    }
}

}  // namespace
}  // namespace zelvar::test
