// The unit report: CSV and JSON that tools read back field for field, written whole or
// not at all.
#include "cli/station/unit_report.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "report_reading.h"
#include "test_env.h"

namespace zelvar::cli {
namespace {

using test::ParseCsv;
using test::ParseJsonReport;
using test::Row;

constexpr uid_t kNobody = 65534;

UnitRecord Unit(const std::string& port, const std::string& result) {
    UnitRecord unit;
    unit.port = port;
    unit.byIdName = "usb-Maker_Adapter_A111-if00-port0";
    unit.imageName = "fw, \"night\" build.bin";
    unit.imageSha256 = std::string(64, 'a');
    unit.resultText = result;
    unit.logPath = "/var/log/station/ttyUSB0-20261208-194003.txt";
    unit.ridBefore = "RID 1.00";
    unit.ridAfter = "RID 2.00";
    unit.pfldBefore = {"0x10000000", "0x00003000", "0x1234ABCD", "0x00000001"};
    unit.fwAfter = {"0x10004000", "0x00010000", "0xDEADBEEF", "0x00000002"};
    unit.exitCode = 5;
    unit.passes = 3;
    unit.seconds = 12.5;
    unit.startedAt = "2026-12-08T19:40:03";
    return unit;
}

// The first unit programmed its flash; the second never sent a frame.
UnitRecord Programmed(UnitRecord unit) {
    unit.line = LineFigures{141, 3, 1707, 2.43e-07};
    return unit;
}

const std::vector<UnitRecord> kUnits = {
    Programmed(Unit("/dev/ttyUSB0", "Verify failed, at 0x1000:\r\n\"expected\" 0x12")),
    Unit("GPS1:", "Done.\nTab\there"),
};

TEST(UnitReport, CsvRowsReadBackFieldForFieldWhateverTheyContain) {
    const std::string csv = CsvUnitReport(kUnits);
    std::vector<Row> rows;
    ASSERT_TRUE(ParseCsv(csv, rows)) << csv;
    ASSERT_EQ(rows.size(), 3u);
    const Row& header = rows[0];
    for (std::size_t u = 0; u < kUnits.size(); ++u) {
        ASSERT_EQ(rows[u + 1].size(), header.size());
        std::map<std::string, std::string> cells;
        for (std::size_t i = 0; i < header.size(); ++i) cells[header[i]] = rows[u + 1][i];
        EXPECT_EQ(cells.size(), header.size()) << "column names repeat";
        EXPECT_EQ(cells["port"], kUnits[u].port);
        EXPECT_EQ(cells["imageName"], kUnits[u].imageName);
        EXPECT_EQ(cells["resultText"], kUnits[u].resultText);
        EXPECT_EQ(cells["pfldBefore.crc"], kUnits[u].pfldBefore.crc);
        EXPECT_EQ(cells["fwAfter.start"], kUnits[u].fwAfter.start);
        EXPECT_EQ(cells["fwBefore.version"], "");
        EXPECT_EQ(cells["exitCode"], std::to_string(kUnits[u].exitCode));
        EXPECT_EQ(std::stod(cells["seconds"]), kUnits[u].seconds);
        EXPECT_EQ(cells["startedAt"], kUnits[u].startedAt);
        const bool programmed = kUnits[u].line.has_value();
        EXPECT_EQ(cells["framesSent"], programmed ? "141" : "");
        EXPECT_EQ(cells["framesRefused"], programmed ? "3" : "");
        EXPECT_EQ(cells["meanFrameBytes"], programmed ? "1707" : "");
        EXPECT_EQ(cells["undetectedChance"], programmed ? "2.43e-07" : "");
    }
    // The line figures came later: appended, so the earlier columns keep their places.
    const std::string earlier = "exitCode,passes,seconds,startedAt";
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")).substr(csv.find(earlier)),
              earlier + ",framesSent,framesRefused,meanFrameBytes,undetectedChance")
        << csv;
    // Plain fields are not quoted, so simple tools can still cut them apart.
    EXPECT_NE(csv.find(",RID 1.00,RID 2.00,"), std::string::npos) << csv;
    EXPECT_EQ(CsvUnitReport({}), csv.substr(0, csv.find("\r\n") + 2));  // the header alone
}

TEST(UnitReport, JsonObjectsCarryTheSameColumnsEscaped) {
    std::vector<Row> rows;
    ASSERT_TRUE(ParseCsv(CsvUnitReport(kUnits), rows));
    const std::string json = JsonUnitReport(kUnits);
    std::vector<std::map<std::string, std::string>> objects;
    ASSERT_TRUE(ParseJsonReport(json, objects)) << json;
    ASSERT_EQ(objects.size(), kUnits.size());
    for (std::size_t u = 0; u < kUnits.size(); ++u) {
        std::map<std::string, std::string>& fields = objects[u];
        ASSERT_EQ(fields.size(), rows[0].size());
        for (std::size_t i = 0; i < rows[0].size(); ++i) {
            // A number the unit does not have is null, an empty cell in the CSV.
            const std::string& value = fields[rows[0][i]];
            EXPECT_EQ(value == "null" ? "" : value, rows[u + 1][i]) << rows[0][i];
        }
    }
    // Numbers are bare: a tool reads them as numbers, not as text.
    EXPECT_NE(json.find("\"exitCode\":5,\"passes\":3,\"seconds\":12.500,"), std::string::npos);
    EXPECT_NE(json.find("\"framesSent\":141,\"framesRefused\":3,\"meanFrameBytes\":1707,"
                        "\"undetectedChance\":2.43e-07}"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"framesSent\":null,\"framesRefused\":null,\"meanFrameBytes\":null,"
                        "\"undetectedChance\":null}"),
              std::string::npos)
        << json;
    UnitRecord unmeasured = kUnits[0];
    unmeasured.seconds = std::numeric_limits<double>::quiet_NaN();
    EXPECT_NE(JsonUnitReport({unmeasured}).find("\"seconds\":null,"), std::string::npos);
    std::vector<std::map<std::string, std::string>> none;
    EXPECT_TRUE(ParseJsonReport(JsonUnitReport({}), none));
    EXPECT_TRUE(none.empty());
}

TEST(UnitReport, WrittenByExtensionReplacingAnEarlierReportWithoutLeftovers) {
    test::TempDir dir;
    ASSERT_TRUE(test::WriteFile(dir.File("units.csv"), "an earlier, longer report\r\n\r\n"));
    std::string error;
    ASSERT_TRUE(WriteUnitReport(dir.File("units.csv"), kUnits, error)) << error;
    ASSERT_TRUE(WriteUnitReport(dir.File("units.JSON"), kUnits, error)) << error;
    EXPECT_EQ(test::ReadFile(dir.File("units.csv")), CsvUnitReport(kUnits));
    EXPECT_EQ(test::ReadFile(dir.File("units.JSON")), JsonUnitReport(kUnits));
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        EXPECT_TRUE(entry.path().filename() == "units.csv" ||
                    entry.path().filename() == "units.JSON")
            << entry.path();
        ++files;
    }
    EXPECT_EQ(files, 2u);
    struct stat info {};
    ASSERT_EQ(stat(dir.File("units.csv").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);  // others on the line read it
}

TEST(UnitReport, OtherExtensionsAreRefusedNamingTheAcceptedOnes) {
    test::TempDir dir;
    for (const std::string name : {"units.txt", "units", "units.csv.bak", "csv"}) {
        const std::string path = dir.File(name);
        const std::string refusal = CheckReportPath(path);
        EXPECT_EQ(refusal.rfind(path + ": ", 0), 0u) << refusal;
        EXPECT_NE(refusal.find(".csv"), std::string::npos) << refusal;
        EXPECT_NE(refusal.find(".json"), std::string::npos) << refusal;
        std::string error;
        EXPECT_FALSE(WriteUnitReport(path, kUnits, error));
        EXPECT_EQ(error, refusal);
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    EXPECT_EQ(CheckReportPath(dir.File("units.csv")), "");
    EXPECT_EQ(CheckReportPath(dir.File("units.Json")), "");
}

TEST(UnitReport, UnwritablePlacesFailWithTheSystemsReasonAndLeaveNothing) {
    test::TempDir dir;
    std::string error;
    const std::string missing = dir.File("no-such-dir/units.csv");
    EXPECT_EQ(CheckReportPath(missing), missing + ": No such file or directory");
    EXPECT_FALSE(WriteUnitReport(missing, kUnits, error));
    EXPECT_EQ(error, missing + ": No such file or directory");

    // A directory in the report's place: the renaming fails once the temporary file is
    // written, and the temporary file goes again.
    const std::string taken = dir.File("taken.json");
    std::filesystem::create_directory(taken);
    EXPECT_EQ(CheckReportPath(taken), taken + ": Is a directory");
    EXPECT_FALSE(WriteUnitReport(taken, kUnits, error));
    EXPECT_EQ(error, taken + ": Is a directory");
    EXPECT_TRUE(std::filesystem::is_empty(taken));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

// The read-only case in a child that runs as nobody when the tests run as root (root
// writes into read-only directories); 0 when the report behaved, else the failed step.
int RefusedInReadOnlyDirectory(const std::string& locked, const std::string& path) {
    if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) return 10;
    if (access(locked.c_str(), W_OK) == 0) return 11;
    if (CheckReportPath(path) != path + ": Permission denied") return 12;
    std::string error;
    if (WriteUnitReport(path, kUnits, error)) return 13;
    if (error != path + ": Permission denied") return 14;
    return test::ReadFile(path) == "earlier\r\n" ? 0 : 15;
}

TEST(UnitReport, AReadOnlyDirectoryKeepsItsEarlierReport) {
    test::TempDir dir;
    const std::string locked = dir.File("locked");
    std::filesystem::create_directory(locked);
    const std::string path = locked + "/units.csv";
    ASSERT_TRUE(test::WriteFile(path, "earlier\r\n"));
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);  // nobody may look inside
    ASSERT_EQ(chmod(locked.c_str(), 0555), 0);
    const pid_t child = fork();
    if (child == 0) _exit(RefusedInReadOnlyDirectory(locked, path));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    chmod(locked.c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "see RefusedInReadOnlyDirectory for the step";
}

}  // namespace
}  // namespace zelvar::cli
