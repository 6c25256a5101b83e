// The names of the units' log files: readable, safe in a directory, never shared.
#include "cli/station/unit_log_name.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <set>
#include <string>

#include "test_env.h"

namespace zelvar::cli {
namespace {

std::tm LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    return local;
}

TEST(UnitLogName, PortNamesBecomeSafeFileNames) {
    EXPECT_EQ(FileSafePortName("/dev/ttyUSB0"), "ttyUSB0");
    EXPECT_EQ(FileSafePortName("GPS1:"), "GPS1");
    EXPECT_EQ(FileSafePortName("/dev/serial/by-id/usb-Maker_A 1:2-if00"), "usb-Maker_A_1_2-if00");
    EXPECT_EQ(FileSafePortName("COM3"), "COM3");
    EXPECT_EQ(FileSafePortName("/tmp/..pty"), "_.pty");  // never a hidden file
    EXPECT_EQ(FileSafePortName("ttyS\xc3\xa9*?"), "ttyS____");
    EXPECT_EQ(FileSafePortName("/dev/"), "port");
    EXPECT_EQ(FileSafePortName(""), "port");
}

TEST(UnitLogName, TheNameCarriesTheStartTimeAndACounterAfterTheFirst) {
    const std::tm start = LocalTime(2026, 12, 8, 19, 40, 3);
    EXPECT_EQ(UnitLogName("/dev/ttyUSB0", start), "ttyUSB0-20261208-194003.txt");
    EXPECT_EQ(UnitLogName("GPS1:", start, 2), "GPS1-20261208-194003-2.txt");
    EXPECT_EQ(UnitLogName("/dev/ttyACM1", LocalTime(2027, 1, 2, 3, 4, 5), 12),
              "ttyACM1-20270102-030405-12.txt");
}

TEST(UnitLogName, UnitsStartingInTheSameSecondClaimFilesOfTheirOwn) {
    test::TempDir dir;
    const std::time_t start = std::time(nullptr);
    std::tm local{};
    localtime_r(&start, &local);
    std::set<std::string> paths;
    // The same port name reached by two paths, as two adapters seen in turn would be.
    for (const char* port : {"/dev/ttyUSB0", "/dev/ttyUSB0", "/other/ttyUSB0"}) {
        std::string error;
        const std::string path = ClaimUnitLogPath(dir.Path(), port, start, error);
        ASSERT_FALSE(path.empty()) << error;
        EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
        EXPECT_EQ(std::filesystem::file_size(path), 0u) << path;
        paths.insert(path);
    }
    EXPECT_EQ(paths, (std::set<std::string>{dir.File(UnitLogName("ttyUSB0", local)),
                                            dir.File(UnitLogName("ttyUSB0", local, 2)),
                                            dir.File(UnitLogName("ttyUSB0", local, 3))}));
    // Without the trailing '/', and a name in use by someone else's file is not reused.
    ASSERT_TRUE(test::WriteFile(dir.File(UnitLogName("ttyUSB0", local, 4)), "earlier unit"));
    std::string error;
    const std::string path =
        ClaimUnitLogPath(dir.Path().substr(0, dir.Path().size() - 1), "/dev/ttyUSB0", start, error);
    EXPECT_EQ(path, dir.File(UnitLogName("ttyUSB0", local, 5))) << error;
    EXPECT_EQ(test::ReadFile(dir.File(UnitLogName("ttyUSB0", local, 4))), "earlier unit");
}

TEST(UnitLogName, AMissingDirectoryIsSaidWithTheSystemsReason) {
    test::TempDir dir;
    const std::time_t start = std::time(nullptr);
    std::tm local{};
    localtime_r(&start, &local);
    std::string error;
    EXPECT_EQ(ClaimUnitLogPath(dir.File("missing"), "/dev/ttyUSB0", start, error), "");
    EXPECT_EQ(error,
              dir.File("missing/") + UnitLogName("ttyUSB0", local) + ": No such file or directory");
}

}  // namespace
}  // namespace zelvar::cli
