// zelvar terminal: typed lines reach the receiver, its answers come back as text or hex.
#include <gtest/gtest.h>

#include "image_recipes.h"
#include "sim_start.h"
#include "zelvar_runner.h"

namespace zelvar::test {
namespace {

TEST(CliTerminal, SendsTypedLinesAndShowsTheAnswers) {
    TempDir dir;
    const std::string factory = WriteImage(dir, "factory.bin", MakeParts(1, 0x2000, 0x4000));
    sim::SimOptions options;
    options.linkPath = dir.File("gps");
    auto receiver = StartSim(options, factory);
    ASSERT_NE(receiver, nullptr);
    const ZelvarRun text = RunZelvar(
        {"terminal", "--port", receiver->LinkPath(), "--log", dir.File("t.txt")}, "$PQRXQ,RID\n");
    EXPECT_EQ(text.exitCode, 0) << text.out << text.err;
    EXPECT_NE(text.out.find("$PQRXR,RID,ZELVAR,GQ07*"), std::string::npos) << text.out;
    EXPECT_NE(ReadFile(dir.File("t.txt")).find("$PQRXR,RID,ZELVAR,GQ07*"), std::string::npos);

    const ZelvarRun hex =
        RunZelvar({"terminal", "--port", receiver->LinkPath(), "--log", dir.File("h.txt"), "--hex"},
                  "$PQRXQ,RID\n");
    EXPECT_EQ(hex.exitCode, 0) << hex.out << hex.err;
    EXPECT_NE(hex.out.find("24 50 51 52 58 52 2C 52 \n"), std::string::npos) << hex.out;
}

}  // namespace
}  // namespace zelvar::test
