// zelvar flash against the simulated receiver: the image ends up in flash, the PFLD
// question is answered as told, and the log and the JSON lines say what happened.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "image_recipes.h"
#include "json_line.h"
#include "sim_start.h"
#include "zelvar_runner.h"

namespace zelvar::test {
namespace {

constexpr std::size_t kPfldBytes = 0x3000;
constexpr std::size_t kFactoryFwBytes = 0x6000;
constexpr std::size_t kNewFwBytes = 0x9000;

std::vector<std::string> LogLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "log text after the last CR LF";
    return lines;
}

int IndexOf(const std::vector<std::string>& lines, const std::string& line) {
    const auto it = std::find(lines.begin(), lines.end(), line);
    return it == lines.end() ? -1 : static_cast<int>(it - lines.begin());
}

class CliFlash : public ::testing::Test {
  protected:
    void SetUp() override {
        factoryParts = MakeParts(1, kPfldBytes, kFactoryFwBytes);
        factory = WriteImage(dir, "factory.bin", factoryParts);
        sim::SimOptions options;
        options.linkPath = dir.File("gps");
        receiver = StartSim(options, factory);
        ASSERT_NE(receiver, nullptr);
    }
    // A new firmware; with samePfld its PFLD section is the receiver's own.
    std::string NewImage(bool samePfld) {
        CompositeImageParts parts = MakeParts(samePfld ? 1 : 2, kPfldBytes, kNewFwBytes);
        parts.fw = MakeParts(3, kPfldBytes, kNewFwBytes).fw;
        return WriteImage(dir, samePfld ? "new.bin" : "new-pfld.bin", parts);
    }
    std::string Port() const { return receiver->LinkPath(); }

    TempDir dir;
    CompositeImageParts factoryParts;
    std::string factory;
    std::unique_ptr<sim::CSimReceiver> receiver;
};

TEST_F(CliFlash, ProgramsTheImageAndLogsTheConnectBeforeTheJob) {
    const std::string image = NewImage(true);
    const std::string log = dir.File("flash-log.txt");
    const ZelvarRun run = RunZelvar({"flash", "--port", Port(), "--log", log, image});

    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_TRUE(FlashHolds(receiver->Flash(), ReadBytes(image)));
    EXPECT_EQ(receiver->Programmings(), 1);

    const std::vector<std::string> lines = LogLines(ReadFile(log));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "GPS firmware loader 1.1.2");
    EXPECT_EQ(lines.back(), "Upload complete");
    EXPECT_EQ(lines[lines.size() - 3], "Verified");
    const int connected = IndexOf(lines, "GPS connected at 4800");
    const int upToDate = IndexOf(lines, "PFL is up to date");
    ASSERT_GE(connected, 0);
    EXPECT_GT(upToDate, connected);
    const int programmed = IndexOf(lines, "FLASH Programing Complete.");
    EXPECT_GT(programmed, upToDate);
    EXPECT_GT(IndexOf(lines, "Upload complete"), programmed);

    // Off a terminal: plain lines, no cursor movement, no progress bar.
    EXPECT_EQ(run.out.find('\r'), std::string::npos);
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
    EXPECT_NE(run.out.find("Upload complete\n"), std::string::npos);
}

// A log that cannot be written is said on standard error, and the flash goes on.
TEST_F(CliFlash, UnwritableLogIsToldAndTheJobStillRuns) {
    const std::string image = NewImage(true);
    const std::string log = dir.File("no-such-directory/log.txt");
    const ZelvarRun run = RunZelvar({"flash", "--port", Port(), "--log", log, image});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.err.find("Cannot write the log file " + log + "; the job runs without a log."),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(FlashHolds(receiver->Flash(), ReadBytes(image)));
}

TEST_F(CliFlash, PfldQuestionAnsweredNoOrUnaskableLeavesTheReceiverUntouched) {
    const std::string image = NewImage(false);
    const std::vector<uint8_t> before = receiver->Flash();
    for (const std::vector<std::string>& answer :
         {std::vector<std::string>{"--no"}, std::vector<std::string>{}}) {
        std::vector<std::string> args{"flash", "--port", Port(), "--log", dir.File("no.txt")};
        args.insert(args.end(), answer.begin(), answer.end());
        args.push_back(image);
        const ZelvarRun run = RunZelvar(args);
        EXPECT_EQ(run.exitCode, 3) << run.out << run.err;
        EXPECT_NE(run.out.find("PFLD update requiered."), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("Canceled by user"), std::string::npos) << run.out;
        EXPECT_EQ(LogLines(ReadFile(dir.File("no.txt"))).back(), "Upload failed");
    }
    EXPECT_EQ(receiver->Flash(), before);
    EXPECT_EQ(receiver->Programmings(), 0);
}

TEST_F(CliFlash, YesRewritesThePfld) {
    const std::string image = NewImage(false);
    const ZelvarRun run =
        RunZelvar({"flash", "--port", Port(), "--log", dir.File("yes.txt"), "--yes", image});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("PFLD mode ... On"), std::string::npos);
    EXPECT_TRUE(FlashHolds(receiver->Flash(), ReadBytes(image)));
}

TEST_F(CliFlash, JsonLinesParseAndFollowTheProgress) {
    const std::string image = NewImage(true);
    const ZelvarRun run =
        RunZelvar({"flash", "--port", Port(), "--log", dir.File("json.txt"), "--json", image});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;

    std::map<std::string, int> kinds;
    std::vector<std::string> phases;  // in the order the job entered them
    uint32_t lastDone = 0, total = 0;
    double lastT = 0;
    std::map<std::string, std::string> fields, before;
    for (const std::string& line : run.OutLines()) {
        fields.clear();
        ASSERT_TRUE(ParseJsonLine(line, fields)) << line;
        ASSERT_EQ(fields.count("kind"), 1u) << line;
        ASSERT_EQ(fields.count("text"), 1u) << line;
        // Every line says when, for which port and in which step of the job it came.
        ASSERT_EQ(fields["port"], Port()) << line;
        const double t = std::stod(fields.at("t"));
        EXPECT_GE(t, lastT) << line;
        lastT = t;
        if (fields["kind"] == "phase") {
            EXPECT_EQ(fields["phase"], fields["text"]) << line;
            phases.push_back(fields["phase"]);
        } else if (!phases.empty() && fields["kind"] != "result") {
            EXPECT_EQ(fields["phase"], phases.back()) << line;
        }
        if (fields["kind"] == "receiver" && fields["when"] == "before") before = fields;
        ++kinds[fields["kind"]];
        if (fields["kind"] == "progress") {
            const uint32_t done = std::stoul(fields["done"]);
            total = std::stoul(fields["total"]);
            EXPECT_GT(done, lastDone) << line;
            EXPECT_LE(done, total) << line;
            lastDone = done;
        }
    }
    EXPECT_GT(kinds["message"], 5);
    EXPECT_GT(kinds["status"], 5);
    EXPECT_GE(kinds["progress"], static_cast<int>(kNewFwBytes / 2048));
    EXPECT_GT(total, kNewFwBytes);
    EXPECT_EQ(lastDone, total);
    EXPECT_EQ(fields["kind"], "result");  // the last line is the verdict
    EXPECT_EQ(fields["code"], "0");
    EXPECT_EQ(fields["phase"], "done");
    // What the programming's frames told about the line: a clean one refused none, and
    // whole 2048-byte frames carried the data.
    EXPECT_GE(std::stoul(fields["frames_sent"]), total / 2048) << run.out;
    EXPECT_EQ(fields["frames_refused"], "0");
    EXPECT_EQ(fields["mean_frame_bytes"], "2048");
    EXPECT_EQ(fields["undetected_chance"], "0");
    const std::vector<std::string> steps = {"connect", "prepare", "wake",
                                            "sfld",    "erase",   "program"};
    for (const std::string& step : steps) {
        EXPECT_NE(std::find(phases.begin(), phases.end(), step), phases.end()) << step;
    }
    EXPECT_LT(std::find(phases.begin(), phases.end(), "erase"),
              std::find(phases.begin(), phases.end(), "program"));
    // The read-back before the upload, as the connect lines show it.
    EXPECT_EQ(before["pfld_start"], "0x10000000");
    EXPECT_EQ(before["fw_start"], "0x10004000");
    EXPECT_EQ(before["fw_version"], "GQ07");
    EXPECT_FALSE(before["pfld_crc"].empty());
}

TEST_F(CliFlash, OnATerminalAsksThePfldQuestionAndShowsTheProgressBar) {
    const std::string image = NewImage(false);
    const ZelvarRun run = RunZelvarOnTerminal(
        {"flash", "--port", Port(), "--log", dir.File("tty.txt"), image}, "[y/N]", "y\n");
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("PFLD update requiered."), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("PFLD mode ... On"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\x1b[K"), std::string::npos);  // the self-updating line
    EXPECT_NE(run.out.find("] 100%"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("KiB/s"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" left"), std::string::npos) << run.out;
    EXPECT_TRUE(FlashHolds(receiver->Flash(), ReadBytes(image)));
}

TEST_F(CliFlash, CtrlCStopsTheUpload) {
    const std::string image = NewImage(true);
    const ZelvarRun run = RunZelvarInterrupted(
        {"flash", "--port", Port(), "--log", dir.File("int.txt"), image}, "Uploading SFLD...");
    EXPECT_EQ(run.exitCode, 130) << run.out << run.err;
    EXPECT_NE(run.out.find("Upload failed"), std::string::npos) << run.out;
    EXPECT_EQ(receiver->Programmings(), 0);
}

}  // namespace
}  // namespace zelvar::test
