// Stable port names, found in a by-id directory of symbolic links made for the test.
#include "cli/station/serial_by_id.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "test_env.h"

namespace zelvar::cli {
namespace {

// dev/ttyUSB0 and dev/ttyUSB1 stand in for devices; by-id links to them relatively, as
// the system does ("../../ttyUSB0").
class SerialById : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(m_dir.File("dev/serial/by-id"));
        ASSERT_TRUE(test::WriteFile(Device("ttyUSB0"), ""));
        ASSERT_TRUE(test::WriteFile(Device("ttyUSB1"), ""));
    }
    std::string Device(const std::string& name) const { return m_dir.File("dev/" + name); }
    std::string ById() const { return m_dir.File("dev/serial/by-id"); }
    void Link(const std::string& target, const std::string& name) const {
        ASSERT_EQ(symlink(target.c_str(), (ById() + "/" + name).c_str()), 0) << name;
    }

    test::TempDir m_dir;
};

TEST_F(SerialById, EachPortFindsTheLinkToItsOwnDevice) {
    Link("../../ttyUSB1", "usb-Maker_Adapter_B222-if00-port0");
    Link("../../ttyUSB0", "usb-Maker_Adapter_A111-if00-port0");
    Link("../../gone", "usb-Maker_Adapter_C333-if00-port0");  // unplugged: dangling
    EXPECT_EQ(SerialByIdName(Device("ttyUSB0"), ById()), "usb-Maker_Adapter_A111-if00-port0");
    EXPECT_EQ(SerialByIdName(Device("ttyUSB1"), ById()), "usb-Maker_Adapter_B222-if00-port0");
    // The port named by another path to the same device.
    EXPECT_EQ(SerialByIdName(m_dir.File("dev/serial/../ttyUSB1"), ById()),
              "usb-Maker_Adapter_B222-if00-port0");
    EXPECT_EQ(SerialByIdName(ById() + "/usb-Maker_Adapter_A111-if00-port0", ById()),
              "usb-Maker_Adapter_A111-if00-port0");
}

TEST_F(SerialById, PortsWithoutALinkOrThatDoNotExistHaveNoName) {
    Link("../../ttyUSB0", "usb-Maker_Adapter_A111-if00-port0");
    EXPECT_EQ(SerialByIdName(Device("ttyUSB1"), ById()), "");
    EXPECT_EQ(SerialByIdName(Device("ttyUSB9"), ById()), "");
    EXPECT_EQ(SerialByIdName("GPS1:", ById()), "");
    EXPECT_EQ(SerialByIdName(Device("ttyUSB0"), m_dir.File("no-by-id")), "");
}

TEST_F(SerialById, OfTwoLinksToOneDeviceTheFirstByNameIsTaken) {
    Link("../../ttyUSB0", "usb-z-second");
    Link(Device("ttyUSB0"), "usb-a-first");  // an absolute link resolves as well
    EXPECT_EQ(SerialByIdName(Device("ttyUSB0"), ById()), "usb-a-first");
}

}  // namespace
}  // namespace zelvar::cli
