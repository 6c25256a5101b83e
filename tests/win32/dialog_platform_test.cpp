// The dialog's Windows platform files: one running copy per user, and the COM ports the
// system announces.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "gui/common/instance_lock.h"
#include "gui/common/serial_port_list.h"
#include "support/test_env.h"

namespace zelvar {
namespace {

TEST(InstanceLockWin32, ASecondCopyIsRefusedUntilTheFirstEnds) {
    test::TempDir dir;
    const std::string path = dir.File("zelvar-loader.lock");
    auto first = std::make_unique<CInstanceLock>(path);
    ASSERT_TRUE(first->Acquire());
    EXPECT_TRUE(first->Held());
    EXPECT_TRUE(first->Acquire());  // again: still ours

    CInstanceLock second(path);
    EXPECT_FALSE(second.Acquire());
    EXPECT_FALSE(second.Held());
    first.reset();
    EXPECT_TRUE(second.Acquire());
    EXPECT_TRUE(second.Held());

    // A lock file that cannot be made does not stop the program.
    CInstanceLock nowhere(dir.File("missing\\zelvar-loader.lock"));
    EXPECT_TRUE(nowhere.Acquire());
    EXPECT_FALSE(nowhere.Held());
    EXPECT_NE(CInstanceLock::DefaultPath().find("zelvar-loader.lock"), std::string::npos);
}

TEST(SerialPortListWin32, OffersTheAnnouncedComPortsInNumberOrder) {
    const std::vector<std::string> ports = FindSerialPorts(SystemSerialPortRoots());
    for (std::size_t i = 0; i < ports.size(); ++i) {
        EXPECT_EQ(ports[i].rfind("COM", 0), 0u) << ports[i];
        if (i > 0) {
            EXPECT_LT(std::stol(ports[i - 1].substr(3)), std::stol(ports[i].substr(3)));
        }
    }
    const std::vector<PortChoice> choices = DescribeSerialPorts(SystemSerialPortRoots(), ports);
    ASSERT_EQ(choices.size(), ports.size());
    for (std::size_t i = 0; i < ports.size(); ++i) EXPECT_EQ(choices[i].device, ports[i]);
}

}  // namespace
}  // namespace zelvar
