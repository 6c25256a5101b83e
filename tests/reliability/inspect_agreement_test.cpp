// `zelvar inspect` decides as the upload does. Every image of the image-input set goes to
// `zelvar inspect` and to `zelvar flash` against a simulated receiver, from the same
// program copy. The receiver's PFLD differs from every image's, and flash answers No to
// the PFLD question, so nothing is ever programmed: an image the upload's preparation
// takes ends at that question, a refused one before it. inspect must accept exactly the
// images that reach the question and print the preparation's lines, the refusal's
// reason among them, exactly as the upload prints them.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "image/composite_builder.h"
#include "image_cases.h"
#include "support/image_recipes.h"
#include "support/sim_start.h"
#include "support/test_patterns.h"

namespace zelvar::test {
namespace {

constexpr double kFlashLimitSeconds = 60;
constexpr uint32_t kFactoryPfldSeed = 5;  // no image of the set has this PFLD
constexpr uint32_t kFactoryFwSeed = 6;
constexpr const char* kFirstLine = R"({"kind":"message","text":"Opening SFLD ..."})";
constexpr const char* kCanceled = R"({"kind":"message","text":"Canceled by user"})";
constexpr const char* kUploadFailed = R"({"kind":"message","text":"Upload failed"})";
constexpr const char* kUntouched = R"({"kind":"message","text":"Receiver state: flash unchanged"})";
constexpr const char* kReasonStart = R"({"kind":"message","text":"Reason: )";
constexpr const char* kQuestion = R"({"kind":"question",)";

// A flash run's line without the time, port and phase that end it (inspect has none).
std::string WithoutJobContext(const std::string& line) {
    const std::size_t context = line.rfind(R"(,"t":)");
    return context == std::string::npos ? line : line.substr(0, context) + "}";
}

// The message and status lines of a --json run, as printed.
std::vector<std::string> ReportedLines(const std::string& out) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = WithoutJobContext(out.substr(start, end - start));
        if (line.rfind(R"({"kind":"message",)", 0) == 0 ||
            line.rfind(R"({"kind":"status",)", 0) == 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

// What the upload's preparation said and decided, from a flash run's output.
struct UploadPreparation {
    std::vector<std::string> lines;  // from "Opening SFLD ..." to the decision
    bool accepted = false;           // it came to the PFLD question
};

UploadPreparation PreparationOf(const ZelvarRun& flash) {
    UploadPreparation preparation;
    std::vector<std::string> lines = ReportedLines(flash.out);
    auto first = lines.begin();
    while (first != lines.end() && *first != kFirstLine) ++first;
    preparation.lines.assign(first, lines.end());
    EXPECT_FALSE(preparation.lines.empty()) << "the upload's preparation never began\n"
                                            << flash.out;
    if (preparation.lines.empty()) return preparation;
    EXPECT_EQ(preparation.lines.back(), kUploadFailed) << flash.out;
    preparation.lines.pop_back();
    // The job's closing lines before it: the receiver untouched, and why the job failed.
    for (const char* closing : {kUntouched, kReasonStart}) {
        if (preparation.lines.empty()) break;
        EXPECT_EQ(preparation.lines.back().rfind(closing, 0), 0u) << flash.out;
        preparation.lines.pop_back();
    }
    preparation.accepted = !preparation.lines.empty() && preparation.lines.back() == kCanceled;
    if (preparation.accepted) preparation.lines.pop_back();
    const bool asked = flash.out.find(kQuestion) != std::string::npos;
    EXPECT_EQ(asked, preparation.accepted) << flash.out;
    return preparation;
}

std::vector<uint8_t> FactoryImage() {
    CompositeImageParts parts;
    parts.pfld = Pattern(kFactoryPfldSeed, kTestPfldBytes);
    parts.fw = Pattern(kFactoryFwSeed, kTestFwBytes);
    std::vector<uint8_t> image;
    std::string error;
    if (!BuildCompositeImage(parts, image, error)) ADD_FAILURE() << "factory image: " << error;
    return image;
}

class InspectAgreement : public ProgramCopyTest {
  protected:
    void SetUp() override {
        ProgramCopyTest::SetUp();
        WriteBytes(dir.File("factory.bin"), FactoryImage());
        // A receiver waiting in its resident loader answers the connect at once, so the
        // flash runs take a second or two in all.
        sim::SimOptions options;
        options.startInPfld = true;
        receiver = StartSim(options, dir.File("factory.bin"));
        ASSERT_NE(receiver, nullptr);
    }
    void TearDown() override {
        if (receiver) {
            EXPECT_EQ(receiver->Programmings(), 0);
        }
    }

    // Runs both on the image at path and holds inspect's verdict against the upload's;
    // true when inspect accepted the image.
    bool ExpectAgreement(const std::string& name, const std::string& path) {
        const ZelvarRun inspect = Run({"inspect", "--json", path});
        const ZelvarRun flash = Run({"flash", "--json", "--no", "--port", receiver->SlavePath(),
                                     "--log", dir.File("flash-log.txt"), path},
                                    kFlashLimitSeconds);
        EXPECT_TRUE(inspect.exitCode == 0 || inspect.exitCode == 3) << name << "\n"
                                                                    << inspect.out << inspect.err;
        EXPECT_EQ(flash.exitCode, 3) << name << "\n" << flash.out << flash.err;
        const UploadPreparation upload = PreparationOf(flash);
        EXPECT_EQ(inspect.exitCode == 0, upload.accepted) << name << "\n" << inspect.out;
        EXPECT_EQ(ReportedLines(inspect.out), upload.lines) << name;
        return inspect.exitCode == 0;
    }

    std::unique_ptr<sim::CSimReceiver> receiver;
};

TEST_F(InspectAgreement, InspectAcceptsAndRefusesAsTheUploadsPreparation) {
    std::vector<ImageCase> cases = BrokenImages();
    for (ImageCase& sound : SoundImages()) cases.push_back(std::move(sound));
    int accepted = 0;
    for (const ImageCase& c : cases) {
        const std::string path = dir.File("image.img");
        std::filesystem::remove(path);
        c.make(path);
        if (c.noSfldBesideProgram) SetSfldBesideProgram(false);
        accepted += ExpectAgreement(c.name, path);
        if (c.noSfldBesideProgram) SetSfldBesideProgram(true);
    }
    // The set holds images on both sides of the line.
    EXPECT_EQ(accepted, static_cast<int>(SoundImages().size()));
}

// The upload refuses a path longer than its reader takes, not a shorter path; the SFLD
// section at so long a path is not read, so the "sfld.hex" beside the program serves.
TEST_F(InspectAgreement, ASoundImageAtAPathTooLongForTheUpload) {
    std::string folder = dir.Path();
    while (folder.size() < 520) {
        folder += std::string(200, 'd') + "/";
        std::filesystem::create_directory(folder);
    }
    const std::string path = folder + "fw.bin";
    WriteBytes(path, MakeTestImage(3));
    EXPECT_FALSE(ExpectAgreement("path too long", path));
}

}  // namespace
}  // namespace zelvar::test
