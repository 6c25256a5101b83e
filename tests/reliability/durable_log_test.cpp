// The log file survives a loader killed without warning: `zelvar flash --json --log FILE`
// is killed with SIGKILL in mid-upload, and the log then holds, whole and in order, every
// line that the loader had reported (printed) before, each ended by CR LF.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "support/image_recipes.h"
#include "support/sim_start.h"
#include "support/test_env.h"
#include "support/zelvar_runner.h"

namespace zelvar::test {
namespace {

constexpr double kLimitSeconds = 60;
constexpr const char* kLogHeader = "GPS firmware loader 1.1.2";

// The "text" of one JSON line of kind message or status; false for other kinds.
bool ReportedText(const std::string& json, std::string& text) {
    const bool reported =
        json.rfind("{\"kind\":\"message\",", 0) == 0 || json.rfind("{\"kind\":\"status\",", 0) == 0;
    const std::size_t at = json.find("\"text\":\"");
    if (!reported || at == std::string::npos) return false;
    text.clear();
    for (std::size_t i = at + 8; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '"') return true;
        if (c != '\\' || i + 1 >= json.size()) {
            text += c;
            continue;
        }
        const char e = json[++i];
        if (e == 'u' && i + 4 < json.size()) {
            text += static_cast<char>(std::stoi(json.substr(i + 1, 4), nullptr, 16));
            i += 4;
        } else {
            text += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
        }
    }
    return false;
}

// Texts of the whole JSON lines printed (a line cut by the kill is not counted).
std::vector<std::string> ReportedTexts(const std::string& out) {
    std::vector<std::string> texts;
    std::size_t start = 0;
    for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string text;
        if (ReportedText(out.substr(start, end - start), text)) texts.push_back(text);
    }
    return texts;
}

std::size_t Count(const std::string& out, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = out.find(what); at != std::string::npos; at = out.find(what, at + 1)) ++n;
    return n;
}

struct KillPoint {
    std::string marker;  // kill once this has been printed `times` times
    std::size_t times;
};

class DurableLog : public ::testing::TestWithParam<KillPoint> {};

TEST_P(DurableLog, AKilledLoaderLeavesEveryReportedLineWholeInTheLog) {
    TempDir dir;
    WriteBytes(dir.File("factory.bin"), MakeTestImage(1));
    WriteBytes(dir.File("new.bin"), MakeTestImage(2, 4 * kTestFwBytes));
    auto receiver = StartSim({}, dir.File("factory.bin"));
    ASSERT_NE(receiver, nullptr);

    ZelvarOptions options;
    options.args = {"flash",
                    "--port",
                    receiver->SlavePath(),
                    "--json",
                    "--log",
                    dir.File("log.txt"),
                    dir.File("new.bin")};
    options.runtimeDir = dir.Path();
    options.limitSeconds = kLimitSeconds;
    const KillPoint point = GetParam();
    options.killWhen = [point](const std::string& out) {
        return Count(out, point.marker) >= point.times;
    };
    options.killSignal = SIGKILL;
    const ZelvarRun run = RunZelvarWith(options);
    receiver->Stop();
    ASSERT_EQ(run.signal, SIGKILL) << "the loader ended before the kill\n" << run.out << run.err;

    const std::string log = ReadFile(dir.File("log.txt"));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n") << "the log's last line is not whole";
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(log.substr(start, end - start));
    }
    const std::vector<std::string> reported = ReportedTexts(run.out);
    ASSERT_GT(reported.size(), 10u);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), kLogHeader);
    // Each line is stored before it is printed, so the log holds every printed line and at
    // most one more: the line being reported when the kill came.
    ASSERT_GE(lines.size(), reported.size() + 1) << log;
    ASSERT_LE(lines.size(), reported.size() + 2) << log;
    for (std::size_t i = 0; i < reported.size(); ++i) {
        EXPECT_EQ(lines[i + 1], reported[i]) << "log line " << i + 2;
    }
}

INSTANTIATE_TEST_SUITE_P(KillPoints, DurableLog,
                         ::testing::Values(KillPoint{"Uploading SFLD...", 1},
                                           KillPoint{"sectors erased.", 2},
                                           KillPoint{"Address:0x1000", 6},
                                           KillPoint{"Address:0x1000", 20}));

}  // namespace
}  // namespace zelvar::test
