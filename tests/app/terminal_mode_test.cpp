// Terminal mode from the dialog against the simulated receiver in normal operation.
#include <string>

#include "dialog_fixture.h"
#include "sim/sim_receiver.h"

namespace zelvar {
namespace {

using test::DialogFixture;
using test::WaitFor;

class TerminalMode : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_sim.Start(error)) << error;
        m_fx = std::make_unique<DialogFixture>(std::vector<std::string>{m_sim.SlavePath()});
        m_fx->SelectPort(2);
    }
    void TearDown() override {
        m_fx.reset();
        m_sim.Stop();
    }
    // A reply shows once the loop runs at the receiver's speed.
    bool QueryIdentification() {
        m_fx->Send("$PQRXQ,RID");
        return WaitFor([&] { return m_fx->HasLineStartingWith("$PQRXR,RID,"); });
    }

    sim::CSimReceiver m_sim{sim::SimOptions{}};
    std::unique_ptr<DialogFixture> m_fx;
};

TEST_F(TerminalMode, QueryShowsTheReplyAndBootRequestEntersTheLoader) {
    m_fx->ToggleMode();
    ASSERT_TRUE(QueryIdentification());
    EXPECT_EQ(m_sim.Mode(), sim::SimMode::Normal);
    // The preset raw command: nine bytes, the first seven of them the boot request.
    m_fx->Send("@ 24 24 0 7 A 0 D");
    EXPECT_TRUE(WaitFor([&] { return m_sim.Mode() == sim::SimMode::ResidentLoader; }));
    EXPECT_TRUE(m_fx->W().Questions().empty());
}

TEST_F(TerminalMode, ReenteringAtOnceGetsThePortFromTheOldLoop) {
    m_fx->ToggleMode();
    ASSERT_TRUE(QueryIdentification());
    for (int round = 0; round < 5; ++round) {
        m_fx->ToggleMode();  // leave: the old loop is still on the port...
        m_fx->ToggleMode();  // ...when the new job starts
        ASSERT_TRUE(QueryIdentification()) << round;
    }
    // No job found the port busy: no open error, no failed job.
    EXPECT_TRUE(m_fx->W().Questions().empty());
    EXPECT_FALSE(m_fx->HasLineStartingWith("Upload failed"));
    EXPECT_EQ(RunningTerminalLoops(), 1);
}

}  // namespace
}  // namespace zelvar
