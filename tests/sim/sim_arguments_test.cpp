// The zelvar-sim command line: each option reaches its own field, the compound values,
// the refusal of bad values, and the program's exit code for them.
#include "sim/sim_arguments.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/simulator_link_posix.h"
#include "support/test_env.h"

namespace zelvar::sim::test {
namespace {

struct Parsed {
    int code = 0;
    SimOptions options;
    std::string output;
};

Parsed Parse(const std::vector<const char*>& arguments) {
    std::vector<const char*> argv = {"zelvar-sim"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    Parsed parsed;
    std::ostringstream out;
    parsed.code =
        ParseSimArguments(static_cast<int>(argv.size()), argv.data(), parsed.options, out);
    parsed.output = out.str();
    return parsed;
}

TEST(SimArguments, NoOptionsKeepTheDefaultsAndTheDefaultLink) {
    const Parsed parsed = Parse({});
    ASSERT_EQ(parsed.code, kSimRun);
    const SimOptions defaults;
    const SimOptions& o = parsed.options;
    EXPECT_EQ(o.linkPath, DefaultSimLinkPath());
    EXPECT_EQ(o.normalSpeed, defaults.normalSpeed);
    EXPECT_EQ(o.versionText, defaults.versionText);
    EXPECT_EQ(o.seed, defaults.seed);
    EXPECT_FALSE(o.pace);
    EXPECT_FALSE(o.startInPfld);
    EXPECT_EQ(o.faults.eraseFailAfter, defaults.faults.eraseFailAfter);
    EXPECT_EQ(o.faults.eraseUnknownAfter, defaults.faults.eraseUnknownAfter);
    EXPECT_EQ(o.faults.eraseFailTimes, 1);
    EXPECT_EQ(o.faults.corruptWordAddress, 0u);
    EXPECT_TRUE(parsed.output.empty());
}

TEST(SimArguments, EveryOptionSetsItsOwnField) {
    const Parsed parsed = Parse({"--link",
                                 "gps-sim",
                                 "--speed",
                                 "9600",
                                 "--version",
                                 "GQ09",
                                 "--pfld-version",
                                 "1.07",
                                 "--sfld-version",
                                 "2.03",
                                 "--pace",
                                 "--flash-in",
                                 "in.bin",
                                 "--flash-out",
                                 "out.bin",
                                 "--start-in-pfld",
                                 "--noise",
                                 "250",
                                 "--sector-erase-ms",
                                 "7",
                                 "--trace",
                                 "trace.txt",
                                 "--seed",
                                 "4242",
                                 "--bad-csum",
                                 "3",
                                 "--erase-fail",
                                 "5",
                                 "--erase-fail-times",
                                 "3",
                                 "--corrupt-word",
                                 "10004024:ff00",
                                 "--silence-after-bytes",
                                 "6000000000",
                                 "--silence-after-frame",
                                 "8",
                                 "--silence-ms",
                                 "900",
                                 "--only-speed",
                                 "57600",
                                 "--vanish-after",
                                 "10",
                                 "--ber-in",
                                 "0.25",
                                 "--ber-out",
                                 "1e-3",
                                 "--drop-byte",
                                 "11",
                                 "--corrupt-ack",
                                 "12",
                                 "--miss-handshake",
                                 "13"});
    ASSERT_EQ(parsed.code, kSimRun) << parsed.output;
    const SimOptions& o = parsed.options;
    EXPECT_EQ(o.linkPath, "gps-sim");
    EXPECT_EQ(o.normalSpeed, 9600u);
    EXPECT_EQ(o.versionText, "GQ09");
    EXPECT_EQ(o.pfldVersion, "1.07");
    EXPECT_EQ(o.sfldVersion, "2.03");
    EXPECT_TRUE(o.pace);
    EXPECT_EQ(o.flashIn, "in.bin");
    EXPECT_EQ(o.flashOut, "out.bin");
    EXPECT_TRUE(o.startInPfld);
    EXPECT_EQ(o.noisePeriodMs, 250);
    EXPECT_EQ(o.sectorEraseMs, 7);
    EXPECT_EQ(o.traceFile, "trace.txt");
    EXPECT_EQ(o.seed, 4242u);
    const SimFaults& f = o.faults;
    EXPECT_EQ(f.badCsumFrame, 3);
    EXPECT_EQ(f.eraseFailAfter, 5);
    EXPECT_EQ(f.eraseFailTimes, 3);
    EXPECT_EQ(f.corruptWordAddress, 0x10004024u);
    EXPECT_EQ(f.corruptWordMask, 0xFF00u);
    EXPECT_EQ(f.silenceAfterBytes, 6000000000u);
    EXPECT_EQ(f.silenceAfterFrame, 8);
    EXPECT_EQ(f.silenceMs, 900);
    EXPECT_EQ(f.answerOnlyAtSpeed, 57600u);
    EXPECT_EQ(f.vanishAfterBytes, 10u);
    EXPECT_DOUBLE_EQ(f.bitErrorRateIn, 0.25);
    EXPECT_DOUBLE_EQ(f.bitErrorRateOut, 0.001);
    EXPECT_EQ(f.dropByteIn, 11u);
    EXPECT_EQ(f.corruptAckFrame, 12);
    EXPECT_EQ(f.missHandshakeFrame, 13);
}

TEST(SimArguments, CompoundFaultValuesHaveTheirShortForms) {
    Parsed parsed =
        Parse({"--wait-storm", "40", "--erase-unknown", "2", "--corrupt-word", "0x1000A000"});
    ASSERT_EQ(parsed.code, kSimRun) << parsed.output;
    EXPECT_EQ(parsed.options.faults.corruptWordAddress, 0x1000A000u);
    EXPECT_EQ(parsed.options.faults.corruptWordMask, 1u);  // ADDR alone: the lowest bit
    EXPECT_EQ(parsed.options.faults.stormCount, 40);
    EXPECT_EQ(parsed.options.faults.stormFrame, 1);  // COUNT alone: frame 1
    EXPECT_EQ(parsed.options.faults.eraseUnknownAfter, 2);
    EXPECT_EQ(parsed.options.faults.eraseUnknownByte, SimFaults{}.eraseUnknownByte);

    parsed = Parse({"--wait-storm", "201@7", "--erase-unknown", "0:a5"});
    ASSERT_EQ(parsed.code, kSimRun) << parsed.output;
    EXPECT_EQ(parsed.options.faults.stormCount, 201);
    EXPECT_EQ(parsed.options.faults.stormFrame, 7);
    EXPECT_EQ(parsed.options.faults.eraseUnknownAfter, 0);
    EXPECT_EQ(parsed.options.faults.eraseUnknownByte, 0xA5);
}

TEST(SimArguments, ARepeatedOptionTakesItsLastValueAndAnEmptyLinkMeansNone) {
    const Parsed parsed = Parse({"--speed", "9600", "--speed", "19200", "--link", ""});
    ASSERT_EQ(parsed.code, kSimRun) << parsed.output;
    EXPECT_EQ(parsed.options.normalSpeed, 19200u);
    EXPECT_TRUE(parsed.options.linkPath.empty());
}

TEST(SimArguments, BadValuesAndUnknownOptionsAreRefusedWithTheirReason) {
    const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
        {{"--speed", "abc"}, "--speed: 'abc' is not a whole number"},
        {{"--speed", "-5"}, "--speed: '-5' is not a whole number"},
        {{"--speed", "4294967296"}, "--speed: '4294967296' is not a whole number"},
        {{"--bad-csum", "2147483648"}, "--bad-csum: '2147483648' is not a whole number"},
        {{"--noise", "10ms"}, "--noise: '10ms' is not"},
        {{"--seed", ""}, "--seed: '' is not"},
        {{"--ber-in", "1.5"}, "--ber-in: '1.5' is not a rate from 0 to 1"},
        {{"--ber-out", "nan"}, "--ber-out: 'nan' is not a rate from 0 to 1"},
        {{"--wait-storm", "3@"}, "--wait-storm: '3@' is not COUNT or COUNT@N"},
        {{"--wait-storm", "@3"}, "--wait-storm: '@3' is not"},
        {{"--erase-unknown", "2:GG"}, "--erase-unknown: '2:GG' is not K or K:HH"},
        {{"--erase-unknown", "2:100"}, "--erase-unknown: '2:100' is not"},
        {{"--corrupt-word", "10000024:zz"}, "--corrupt-word: '10000024:zz' is not ADDR or"},
        {{"--corrupt-word", "100000000"}, "--corrupt-word: '100000000' is not"},
        {{"--corrupt-word", "0x"}, "--corrupt-word: '0x' is not"},
        {{"--erase-fail-times", "-1"}, "--erase-fail-times: '-1' is not a whole number"},
        {{"--speed"}, "--speed"},
        {{"--bogus"}, "--bogus"},
        {{"stray"}, "stray"},
    };
    for (const auto& [arguments, reason] : cases) {
        const Parsed parsed = Parse(arguments);
        EXPECT_EQ(parsed.code, kSimUsageExit) << reason;
        const std::string& text = parsed.output;
        EXPECT_EQ(text.rfind("zelvar-sim: ", 0), 0u) << text;
        EXPECT_NE(text.find(reason), std::string::npos) << text;
        EXPECT_NE(text.find("Usage: zelvar-sim"), std::string::npos) << reason;
    }
}

TEST(SimArguments, HelpListsEveryOptionWithItsDefaultUnderItsGroup) {
    const Parsed parsed = Parse({"--help"});
    EXPECT_EQ(parsed.code, 0);
    const std::string& help = parsed.output;
    const char* const shown[] = {
        "--link PATH",
        "link to the serial device (default ",
        "--speed N",
        "normal line speed (4800)",
        "--version TEXT",
        "identification version field (GQ07)",
        "--pfld-version",
        "resident loader version (1.05)",
        "--sfld-version",
        "SFLD version (2.01)",
        "--sector-erase-ms MS",
        "time to erase one 4 KiB sector (2)",
        "--seed N",
        "seed of the junk bytes and line faults (1)",
        "faults (each fires once):",
        "--wait-storm COUNT@N",
        "COUNT REC_WAIT bytes before answering frame N",
        "--erase-unknown K[:HH]",
        "byte HH (42) after K erased sectors",
        "--erase-fail-times N",
        "--erase-fail fires on N erases (1)",
        "--corrupt-word ADDR[:MASK]",
        "--silence-ms MS",
        "length of the silence (0: for good)",
        "line faults (while a loader runs, from --seed):",
        "--ber-in RATE",
        "bit error rate of received bytes (0 to 1)",
        "--miss-handshake N",
        "the 0x55 that would arm frame N is not heard (once)",
    };
    for (const char* text : shown) EXPECT_NE(help.find(text), std::string::npos) << text;
    // Every fault option comes after its group's heading.
    EXPECT_GT(help.find("--bad-csum"), help.find("faults (each fires once):"));
    EXPECT_GT(help.find("--drop-byte"), help.find("line faults (while"));
    EXPECT_LT(help.find("--seed"), help.find("faults (each fires once):"));
}

// The program itself: a bad value ends it with the usage exit code, the reason on
// standard error and nothing on standard output (where a started receiver puts its link).
TEST(SimArguments, ProgramExitsWithTheUsageCodeOnABadValue) {
    const std::string program = std::string(ZELVAR_BINARY_DIR) + "/zelvar-sim";
    if (access(program.c_str(), X_OK) != 0) GTEST_SKIP() << "zelvar-sim is not built";
    zelvar::test::TempDir dir;
    const std::string out = dir.File("out.txt");
    const std::string err = dir.File("err.txt");
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen(out.c_str(), "w", stdout) || !freopen(err.c_str(), "w", stderr)) _exit(126);
        execl(program.c_str(), program.c_str(), "--link", dir.File("gps").c_str(), "--ber-in", "2",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kSimUsageExit);
    EXPECT_TRUE(zelvar::test::ReadFile(out).empty());
    EXPECT_EQ(zelvar::test::ReadFile(err).rfind("zelvar-sim: --ber-in: '2' is not a rate", 0), 0u);
    EXPECT_NE(access(dir.File("gps").c_str(), F_OK), 0);  // no receiver was started
}

}  // namespace
}  // namespace zelvar::sim::test
