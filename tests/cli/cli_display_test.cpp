// The command line's display pieces: JSON lines, printable text and the progress bar.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "cli/console_output.h"
#include "cli/json_output.h"
#include "cli/progress_bar.h"
#include "json_line.h"

namespace zelvar::cli {
namespace {

using namespace std::chrono_literals;

TEST(CliJson, AnyTextMakesALineThatParsesBack) {
    const std::string texts[] = {
        "plain",
        "quote \" and backslash \\",
        "PFLD update requiered.\r\nContinue ?",
        std::string("nul \0 bell \a escape \x1b[2J", 24),
        "caf\xc3\xa9 \xe2\x82\xac",
    };
    std::map<std::string, std::string> fields;
    for (const std::string& text : texts) {
        const std::string line = JsonEvent("message", text);
        EXPECT_EQ(line.find('\n'), std::string::npos);
        ASSERT_TRUE(test::ParseJsonLine(line, fields)) << line;
        EXPECT_EQ(fields["text"], text);
        EXPECT_EQ(fields["kind"], "message");
    }
}

TEST(CliJson, BytesThatAreNotUtf8BecomeReplacementCharacters) {
    std::map<std::string, std::string> fields;
    const std::string line = JsonEvent("status",
                                       "a\xff"
                                       "b\xc3");
    ASSERT_TRUE(test::ParseJsonLine(line, fields)) << line;
    EXPECT_EQ(fields["text"],
              "a\xef\xbf\xbd"
              "b\xef\xbf\xbd");
}

TEST(CliJson, ProgressQuestionAndResultCarryTheirFields) {
    std::map<std::string, std::string> fields;
    ASSERT_TRUE(test::ParseJsonLine(JsonProgress("half", 2048, 4096), fields));
    EXPECT_EQ(fields["done"], "2048");
    EXPECT_EQ(fields["total"], "4096");
    ASSERT_TRUE(test::ParseJsonLine(JsonQuestion(" Warning: Unsafe mode", "q?", false), fields));
    EXPECT_EQ(fields["caption"], " Warning: Unsafe mode");
    EXPECT_EQ(fields["answer"], "no");
    ASSERT_TRUE(test::ParseJsonLine(JsonResult(3, "refused"), fields));
    EXPECT_EQ(fields["code"], "3");
}

// The line figures come only with a programming; a chance too small for plain decimals
// still reads back as the number it is.
TEST(CliJson, FlashResultGivesTheLineFiguresOnlyWhenFramesWereSent) {
    std::map<std::string, std::string> fields;
    ASSERT_TRUE(test::ParseJsonLine(
        JsonFlashResult(2, "Cannot open GPS port.", "unchanged", "Cannot open GPS port."), fields));
    EXPECT_EQ(fields.count("frames_sent"), 0u);
    EXPECT_EQ(fields.count("undetected_chance"), 0u);
    for (const double chance : {0.0, 0.000243, 2.5e-9, 1.0}) {
        const std::string line = JsonFlashResult(6, "Not vouched for", "not-vouched", "refused",
                                                 LineFigures{140, 3, 1024, chance});
        ASSERT_TRUE(test::ParseJsonLine(line, fields)) << line;
        EXPECT_EQ(fields["frames_sent"], "140");
        EXPECT_EQ(fields["frames_refused"], "3");
        EXPECT_EQ(fields["mean_frame_bytes"], "1024");
        EXPECT_NEAR(std::stod(fields["undetected_chance"]), chance, chance * 1e-3) << line;
    }
}

TEST(CliJson, TheReceiverRecordGivesMissingSectionsAsEmptyFields) {
    ReceiverInfo info;
    info.pfld.start = 0x10000000;
    info.pfld.length = 0x3ff0;
    info.pfld.crc = 0xdeadbeef;
    std::snprintf(info.pfld.text, sizeof info.pfld.text, "1.05");
    std::snprintf(info.main.text, sizeof info.main.text, "GQ\"07");  // no section, a version
    std::map<std::string, std::string> fields;
    ASSERT_TRUE(test::ParseJsonLine(JsonReceiver("after", info), fields));
    EXPECT_EQ(fields["when"], "after");
    EXPECT_EQ(fields["pfld_start"], "0x10000000");
    EXPECT_EQ(fields["pfld_length"], "0x3ff0");
    EXPECT_EQ(fields["pfld_crc"], "0xdeadbeef");
    EXPECT_EQ(fields["pfld_version"], "1.05");
    EXPECT_EQ(fields["fw_start"], "");
    EXPECT_EQ(fields["fw_crc"], "");
    EXPECT_EQ(fields["fw_version"], "GQ\"07");
}

TEST(CliJson, AJobsLinesCarryTimePortAndPhase) {
    std::FILE* out = std::tmpfile();
    ASSERT_TRUE(out);
    {
        CConsoleOutput display(DisplayMode::Json, out, out);
        display.Message("before the context");
        display.SetJobContext("/dev/ttyUSB\"3");
        display.Status("waiting");
        display.Phase("erase");
        display.Progress(1, 2);
        display.Result(0, "Upload complete");
    }
    std::rewind(out);
    char buffer[4096] = {};
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, out);
    std::fclose(out);
    std::vector<std::map<std::string, std::string>> lines;
    std::string text(buffer, n);
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        std::map<std::string, std::string> fields;
        ASSERT_TRUE(test::ParseJsonLine(text.substr(start, end - start), fields)) << text;
        lines.push_back(fields);
    }
    ASSERT_EQ(lines.size(), 5u) << text;
    EXPECT_EQ(lines[0].count("t"), 0u);  // not a unit's job yet
    const char* phases[] = {"connect", "erase", "erase", "done"};
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i]["port"], "/dev/ttyUSB\"3") << i;
        EXPECT_EQ(lines[i]["phase"], phases[i - 1]) << i;
        EXPECT_GE(std::stod(lines[i]["t"]), 0.0) << i;
    }
    EXPECT_EQ(lines[2]["kind"], "phase");
}

TEST(CliDisplay, PrintableTextHasNoControlCharacters) {
    EXPECT_EQ(PrintableText("a\r\nb"), "a b");
    EXPECT_EQ(PrintableText("\x1b[2Jx\ty\x7f"), " [2Jx y ");
    EXPECT_EQ(PrintableText("caf\xc3\xa9"), "caf\xc3\xa9");
}

TEST(CliDisplay, PlainDisplayWritesLinesWithoutControlCharacters) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ASSERT_TRUE(out && err);
    {
        CConsoleOutput display(DisplayMode::Plain, out, err);
        display.Message("first\r\nline");
        display.Status("");
        display.Status("Waiting data from GPS...");
        display.Progress(1024, 4096);
        display.Alert("Error", "Can not open serial port 1.");
    }
    auto read = [](std::FILE* file) {
        std::rewind(file);
        std::string text;
        for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
        std::fclose(file);
        return text;
    };
    EXPECT_EQ(read(out), "first line\nWaiting data from GPS...\n");
    EXPECT_EQ(read(err), "Can not open serial port 1.\n");
}

TEST(CliProgress, RateAndTimeLeftComeFromAcceptedFrames) {
    CProgressMeter meter;
    const auto start = CProgressMeter::Clock::time_point{} + 100s;
    meter.Update(2048, 10240, start);
    EXPECT_LT(meter.Snapshot().bytesPerSecond, 0);  // one frame: no rate yet
    meter.Update(6144, 10240, start + 2s);
    EXPECT_DOUBLE_EQ(meter.Snapshot().bytesPerSecond, 2048);
    EXPECT_DOUBLE_EQ(meter.Snapshot().secondsLeft, 2);

    // A new programming pass starts from the beginning: measured afresh.
    meter.Update(2048, 10240, start + 10s);
    EXPECT_EQ(meter.Snapshot().done, 2048u);
    EXPECT_LT(meter.Snapshot().bytesPerSecond, 0);
}

TEST(CliProgress, BarShowsPercentBytesRateAndTimeLeftWithinTheWidth) {
    ProgressSnapshot progress{65536, 131072, 11468.8, 5.7};
    const std::string bar = FormatProgressBar(progress, 79);
    EXPECT_LE(bar.size(), 79u);
    EXPECT_NE(bar.find(" 50%"), std::string::npos) << bar;
    EXPECT_NE(bar.find("64.0/128.0 KiB"), std::string::npos) << bar;
    EXPECT_NE(bar.find("11.2 KiB/s"), std::string::npos) << bar;
    EXPECT_NE(bar.find("0:06 left"), std::string::npos) << bar;
    EXPECT_EQ(FormatProgressBar(progress, 20).size(), 20u);
    EXPECT_EQ(ProgressPercent(5, 0), 100);
    EXPECT_EQ(ProgressPercent(99, 100), 99);
    EXPECT_EQ(FormatProgressText(1024, 4096), "1024/4096 bytes (25%)");
}

}  // namespace
}  // namespace zelvar::cli
