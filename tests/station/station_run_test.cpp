// The station end to end: zelvar flash with several simulated receivers at once, each
// flashed by a worker process, the report, the exit code and --watch.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>

#include "cli/station/exit_ranking.h"
#include "image_recipes.h"
#include "json_line.h"
#include "pty_pair.h"
#include "report_reading.h"
#include "sim_start.h"
#include "zelvar_runner.h"

namespace zelvar::test {
namespace {

constexpr std::size_t kPfldBytes = 0x3000;
constexpr std::size_t kFactoryFwBytes = 0x6000;
constexpr std::size_t kNewFwBytes = 0x9000;
constexpr uint64_t kVanishAfterBytes = 30000;  // well into the programming
constexpr int kEraseFailSectors = 2;
constexpr int kEraseFailures = 2;            // then the third erase goes through
constexpr uint32_t kFwEndWord = 0x10004024;  // the FW section's end word, at its start + 0x24

using Record = std::map<std::string, std::string>;

class Station : public ::testing::Test {
  protected:
    void SetUp() override {
        factory = WriteImage(dir, "factory.bin", MakeParts(1, kPfldBytes, kFactoryFwBytes));
        CompositeImageParts parts = MakeParts(1, kPfldBytes, kNewFwBytes);
        parts.fw = MakeParts(3, kPfldBytes, kNewFwBytes).fw;
        image = WriteImage(dir, "new.bin", parts);
        ASSERT_FALSE(factory.empty());
        ASSERT_FALSE(image.empty());
    }

    std::unique_ptr<sim::CSimReceiver> Sim(const std::string& link, sim::SimFaults faults = {}) {
        sim::SimOptions options;
        options.linkPath = link;
        options.faults = faults;
        auto receiver = StartSim(options, factory);
        EXPECT_NE(receiver, nullptr);
        return receiver;
    }

    struct TwoUnits {
        std::unique_ptr<sim::CSimReceiver> faulty, good;
        ZelvarRun run;
    };
    // One station run on a unit with faults (its link named name) beside a good one, logs
    // in "logs", the report at report.
    TwoUnits FlashBesideAGoodUnit(const char* name, const sim::SimFaults& faults,
                                  const std::string& report) {
        TwoUnits units{Sim(dir.File(name), faults), Sim(dir.File("good")), {}};
        if (!units.faulty || !units.good) return units;
        units.run = RunZelvar({"flash", "--port", units.faulty->LinkPath(), "--port",
                               units.good->LinkPath(), "--log-dir", dir.File("logs"), "--report",
                               report, image});
        return units;
    }

    // The records of the report at path, by port.
    std::map<std::string, Record> Report(const std::string& path) {
        std::map<std::string, Record> byPort;
        const std::string text = ReadFile(path);
        std::vector<Record> records;
        if (path.size() > 4 && path.substr(path.size() - 4) == ".csv") {
            std::vector<Row> rows;
            EXPECT_TRUE(ParseCsv(text, rows)) << text;
            for (std::size_t r = 1; r < rows.size(); ++r) {
                Record record;
                for (std::size_t c = 0; c < rows[0].size() && c < rows[r].size(); ++c) {
                    record[rows[0][c]] = rows[r][c];
                }
                records.push_back(record);
            }
        } else {
            EXPECT_TRUE(ParseJsonReport(text, records)) << text;
        }
        for (const Record& record : records) byPort[record.at("port")] = record;
        return byPort;
    }

    TempDir dir;
    std::string factory;
    std::string image;
};

bool Holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(Station, FourUnitsAtOnceEachEndAsItsReceiverAllows) {
    PtyPair silent;  // nobody answers on it
    sim::SimFaults eraseFaults;
    eraseFaults.eraseFailAfter = kEraseFailSectors;
    eraseFaults.eraseFailTimes = kEraseFailures;
    sim::SimFaults vanishFaults;
    vanishFaults.vanishAfterBytes = kVanishAfterBytes;
    auto recovering = Sim(dir.File("recovering"), eraseFaults);
    auto vanishing = Sim(dir.File("vanishing"), vanishFaults);
    auto clean = Sim(dir.File("clean"));
    ASSERT_TRUE(recovering && vanishing && clean);

    const std::string report = dir.File("units.json");
    const ZelvarRun run =
        RunZelvar({"flash", "--port", silent.SlavePath(), "--port", recovering->LinkPath(),
                   "--port", vanishing->LinkPath(), "--port", clean->LinkPath(), "--log-dir",
                   dir.File("logs"), "--report", report, image});

    std::map<std::string, Record> units = Report(report);
    ASSERT_EQ(units.size(), 4u) << ReadFile(report);
    const std::map<std::string, int> expected{{silent.SlavePath(), 4},
                                              {recovering->LinkPath(), 0},
                                              {vanishing->LinkPath(), 1},
                                              {clean->LinkPath(), 0}};
    std::vector<int> codes;
    double slowest = 0, sum = 0;
    for (const auto& [port, code] : expected) {
        Record& unit = units[port];
        EXPECT_EQ(unit["exitCode"], std::to_string(code)) << port << ": " << unit["resultText"];
        EXPECT_EQ(unit["imageName"], "new.bin");
        EXPECT_EQ(unit["imageSha256"].size(), 64u);
        EXPECT_EQ(unit["logPath"].rfind(dir.File("logs/"), 0), 0u) << unit["logPath"];
        EXPECT_FALSE(ReadFile(unit["logPath"]).empty()) << port;
        codes.push_back(code);
        const double seconds = std::stod(unit["seconds"]);
        slowest = std::max(slowest, seconds);
        sum += seconds;
    }
    EXPECT_EQ(run.exitCode, zelvar::cli::MostSeriousExit(codes)) << run.out << run.err;

    // Two passes failed at the erase, the third programmed the flash.
    const std::string recoveringLog = ReadFile(units[recovering->LinkPath()]["logPath"]);
    EXPECT_TRUE(Holds(recoveringLog, "Flash erase failure.")) << recoveringLog;
    EXPECT_EQ(units[recovering->LinkPath()]["passes"], "3");
    EXPECT_TRUE(Holds(recoveringLog, "\r\nVerified\r\n")) << recoveringLog;
    EXPECT_TRUE(Holds(ReadFile(units[clean->LinkPath()]["logPath"]), "\r\nVerified\r\n"));
    EXPECT_EQ(units[clean->LinkPath()]["passes"], "1");
    EXPECT_EQ(units[clean->LinkPath()]["fwBefore.length"], "0x6000");
    EXPECT_EQ(units[clean->LinkPath()]["fwBefore.version"], "GQ07");
    EXPECT_EQ(units[clean->LinkPath()]["ridBefore"], "GQ07");
    EXPECT_EQ(units[clean->LinkPath()]["ridAfter"], "GQ07");
    EXPECT_EQ(units[clean->LinkPath()]["fwAfter.length"], "0x9000") << "from the verification";
    EXPECT_EQ(units[vanishing->LinkPath()]["fwAfter.length"], "");
    // The line figures of the programming: a clean line refused nothing; the silent unit
    // never sent a frame.
    EXPECT_GT(std::stoi(units[clean->LinkPath()]["framesSent"]), 0);
    EXPECT_EQ(units[clean->LinkPath()]["framesRefused"], "0");
    EXPECT_EQ(units[clean->LinkPath()]["meanFrameBytes"], "2048");
    EXPECT_EQ(units[clean->LinkPath()]["undetectedChance"], "0");
    EXPECT_EQ(units[silent.SlavePath()]["framesSent"], "null");
    EXPECT_EQ(units[silent.SlavePath()]["undetectedChance"], "null");
    EXPECT_TRUE(FlashHolds(clean->Flash(), ReadBytes(image)));
    EXPECT_TRUE(FlashHolds(recovering->Flash(), ReadBytes(image)));
    EXPECT_FALSE(FlashHolds(vanishing->Flash(), ReadBytes(image)));
    // At once, not one after another: the run takes about as long as its slowest unit.
    EXPECT_LT(run.seconds, slowest + (sum - slowest) / 2)
        << "slowest " << slowest << ", sum " << sum;
    // The summary table names every port with its result.
    for (const auto& [port, code] : expected) EXPECT_TRUE(Holds(run.out, port)) << run.out;
}

TEST_F(Station, PlainLinesCarryTheirPortAndAWrongReportExtensionIsRefused) {
    auto receiver = Sim(dir.File("unit-one"));
    ASSERT_TRUE(receiver);
    const ZelvarRun refused = RunZelvar(
        {"flash", "--port", receiver->LinkPath(), "--report", dir.File("units.txt"), image});
    EXPECT_EQ(refused.exitCode, 64);
    EXPECT_TRUE(Holds(refused.err, ".csv") && Holds(refused.err, ".json")) << refused.err;
    EXPECT_EQ(receiver->Programmings(), 0);

    const ZelvarRun run =
        RunZelvar({"flash", "--port", receiver->LinkPath(), "--log-dir", dir.File("logs"), image});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(receiver->Programmings(), 1);
    EXPECT_TRUE(Holds(run.out, "unit-one: GPS connected at 4800\n")) << run.out;
    EXPECT_TRUE(Holds(run.out, "unit-one: Upload complete\n")) << run.out;
    EXPECT_TRUE(Holds(run.out, "unit-one: finished: Verified\n")) << run.out;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
    int progressLines = 0;
    for (const std::string& line : run.OutLines()) {
        if (Holds(line, "programming")) ++progressLines;
    }
    EXPECT_GT(progressLines, 0);
    EXPECT_LE(progressLines, 11) << "one progress line per tenth at most";
}

TEST_F(Station, WatchFlashesEachDeviceOnceAsItAppearsUntilCtrlC) {
    const std::string ports = dir.File("ports/");
    ASSERT_EQ(mkdir(ports.c_str(), 0700), 0);
    auto first = Sim(ports + "first");
    ASSERT_TRUE(first);
    std::unique_ptr<sim::CSimReceiver> second;
    const std::string report = dir.File("watch.json");

    ZelvarOptions options;
    options.args = {"flash",          "--watch",  "--port-glob", ports + "*", "--log-dir",
                    dir.File("logs"), "--report", report,        image};
    options.killSignal = SIGINT;
    // The second device appears once the first is done; Ctrl-C once both are.
    options.killWhen = [&](const std::string& out) {
        if (!second && Holds(out, "first: finished:")) second = Sim(ports + "second");
        return Holds(out, "second: finished:");
    };
    const ZelvarRun run = RunZelvarWith(options);
    ASSERT_TRUE(second);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(first->Programmings(), 1) << "flashed again while it stayed plugged in";
    EXPECT_EQ(second->Programmings(), 1);
    const std::map<std::string, Record> units = Report(report);
    ASSERT_EQ(units.size(), 2u) << ReadFile(report);
    EXPECT_EQ(units.at(ports + "first").at("exitCode"), "0");
    EXPECT_EQ(units.at(ports + "second").at("exitCode"), "0");
}

// Ctrl-C reaches the station alone (the workers have a process group of their own); it
// passes it on, and the interrupted unit is in the report.
TEST_F(Station, CtrlCInterruptsTheWorkersAndTheReportStillComes) {
    auto quick = Sim(dir.File("quick"));
    sim::SimOptions paced;
    paced.linkPath = dir.File("paced");
    paced.pace = true;  // at the real line rate: still programming when Ctrl-C comes
    auto slow = StartSim(paced, factory);
    ASSERT_TRUE(quick && slow);
    const std::string report = dir.File("stopped.csv");
    ZelvarOptions options;
    options.args = {"flash",    "--port", quick->LinkPath(), "--port",         slow->LinkPath(),
                    "--report", report,   "--log-dir",       dir.File("logs"), image};
    options.killSignal = SIGINT;
    options.killWhen = [](const std::string& out) {
        return Holds(out, "quick: finished:") && Holds(out, "paced: programming");
    };
    const ZelvarRun run = RunZelvarWith(options);
    EXPECT_EQ(run.exitCode, 130) << run.out << run.err;
    std::map<std::string, Record> units = Report(report);
    ASSERT_EQ(units.size(), 2u) << ReadFile(report);
    EXPECT_EQ(units[slow->LinkPath()]["exitCode"], "130") << units[slow->LinkPath()]["resultText"];
    EXPECT_EQ(units[quick->LinkPath()]["exitCode"], "0");
    EXPECT_EQ(slow->Programmings(), 0);
}

TEST_F(Station, JsonPassesTheWorkersLinesAndAddsUnitAndSummary) {
    auto receiver = Sim(dir.File("unit-json"));
    ASSERT_TRUE(receiver);
    const ZelvarRun run = RunZelvar(
        {"flash", "--port", receiver->LinkPath(), "--log-dir", dir.File("logs"), "--json", image});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    std::map<std::string, int> kinds;
    std::map<std::string, std::string> fields, unit, summary;
    for (const std::string& line : run.OutLines()) {
        ASSERT_TRUE(ParseJsonLine(line, fields)) << line;
        ++kinds[fields["kind"]];
        if (fields["kind"] == "unit") unit = fields;
        if (fields["kind"] == "summary") summary = fields;
        if (fields["kind"] == "message") {
            EXPECT_EQ(fields["port"], receiver->LinkPath()) << line;
        }
    }
    EXPECT_GT(kinds["message"], 0);
    EXPECT_GT(kinds["progress"], 0);
    EXPECT_EQ(kinds["result"], 1);
    EXPECT_EQ(kinds["unit"], 1);
    EXPECT_EQ(kinds["summary"], 1);
    EXPECT_EQ(unit["port"], receiver->LinkPath());
    EXPECT_EQ(unit["code"], "0");
    EXPECT_EQ(unit["fw_before"], "GQ07");
    EXPECT_EQ(summary["units"], "1");
    EXPECT_EQ(summary["succeeded"], "1");
    EXPECT_EQ(summary["code"], "0");
    EXPECT_EQ(run.OutLines().back().find("{\"kind\":\"summary\""), 0u);
}

TEST_F(Station, OnATerminalTheUnitsAreOneBlockRedrawnInPlace) {
    auto receiver = Sim(dir.File("unit-tty"));
    ASSERT_TRUE(receiver);
    ZelvarOptions options;
    options.args = {"flash", "--port", receiver->LinkPath(), "--log-dir", dir.File("logs"), image};
    options.onTerminal = true;
    const ZelvarRun run = RunZelvarWith(options);
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_TRUE(Holds(run.out, "\x1b[1A")) << "the block is drawn over itself";
    EXPECT_TRUE(Holds(run.out, "unit-tty  program")) << run.out;
    EXPECT_FALSE(Holds(run.out, "unit-tty: ")) << "no plain lines on a terminal";
    EXPECT_TRUE(Holds(run.out, "FW before")) << run.out;
}

// A receiver that does not hold the image after its upload fails the verification, and
// its record says so; the unit beside it is verified.
TEST_F(Station, VerificationCatchesASpoiledWordThroughTheStation) {
    sim::SimFaults spoil;
    spoil.corruptWordAddress = kFwEndWord;
    const std::string report = dir.File("verify.csv");
    const auto [spoiled, good, run] = FlashBesideAGoodUnit("spoiled", spoil, report);
    ASSERT_TRUE(spoiled && good);
    EXPECT_EQ(run.exitCode, 5) << run.out << run.err;
    EXPECT_TRUE(Holds(run.out, "spoiled: Verify: FW end word")) << run.out;
    EXPECT_TRUE(Holds(run.out, "good: Verified\n")) << run.out;
    std::map<std::string, Record> units = Report(report);
    ASSERT_EQ(units.size(), 2u) << ReadFile(report);
    EXPECT_EQ(units[spoiled->LinkPath()]["exitCode"], "5");
    EXPECT_EQ(units[spoiled->LinkPath()]["resultText"], "Verification failed");
    EXPECT_EQ(units[spoiled->LinkPath()]["receiverState"], "not-vouched");
    EXPECT_EQ(units[good->LinkPath()]["exitCode"], "0");
}

// The table and the report give each unit's verdict with the state of its receiver: the
// good unit verified, the one that vanished while being programmed with why it failed.
TEST_F(Station, VerdictReasonAndReceiverStateInTheTableAndTheReport) {
    sim::SimFaults vanish;
    vanish.vanishAfterBytes = 30000;  // past the SFLD, during programming
    const std::string report = dir.File("units.csv");
    const auto [gone, good, run] = FlashBesideAGoodUnit("gone", vanish, report);
    ASSERT_TRUE(gone && good);
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    const std::string lost = "Serial device lost: ";
    EXPECT_TRUE(Holds(run.out, "good: finished: Verified\n")) << run.out;
    EXPECT_TRUE(Holds(run.out, "gone: finished: failed (1): Upload failed: " + lost)) << run.out;
    bool goodRow = false, goneRow = false;
    for (const std::string& line : run.OutLines()) {
        goodRow |= line.starts_with(good->LinkPath()) && Holds(line, "  Verified  ") &&
                   Holds(line, "  verified  ");
        goneRow |= line.starts_with(gone->LinkPath()) && Holds(line, "Upload failed: " + lost) &&
                   Holds(line, "  incomplete  ");
    }
    EXPECT_TRUE(goodRow && goneRow) << run.out;
    std::map<std::string, Record> units = Report(report);
    ASSERT_EQ(units.size(), 2u) << ReadFile(report);
    EXPECT_EQ(units[good->LinkPath()]["resultText"], "Verified");
    EXPECT_EQ(units[good->LinkPath()]["receiverState"], "verified");
    EXPECT_EQ(units[good->LinkPath()]["reason"], "");
    Record& failed = units[gone->LinkPath()];
    EXPECT_EQ(failed["exitCode"], "1");
    EXPECT_EQ(failed["resultText"].rfind("Upload failed: " + lost, 0), 0u) << failed["resultText"];
    EXPECT_EQ(failed["reason"].rfind(lost, 0), 0u) << failed["reason"];
    EXPECT_EQ(failed["receiverState"], "incomplete");
}

}  // namespace
}  // namespace zelvar::test
