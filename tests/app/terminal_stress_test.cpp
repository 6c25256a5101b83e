// Hundreds of mode switches, sends and port changes from the dialog's thread while
// the receiver side streams output: the hand-over between terminal jobs must never
// leave two loops on a port, lose a command or race (run it under ThreadSanitizer).
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <mutex>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "dialog_fixture.h"
#include "pty_pair.h"

namespace zelvar {
namespace {

using test::DialogFixture;
using test::PtyPair;
using test::WaitFor;

constexpr int kActions = 1000;  // about 300 mode switches, 450 sends, 250 port changes

// Plays a chatty receiver on one pty: streams sentences and collects what arrives.
class StreamingPeer {
  public:
    StreamingPeer() : m_thread([this] { Run(); }) {}
    ~StreamingPeer() {
        m_stop = true;
        m_thread.join();
    }
    const std::string& Path() const { return m_pty.SlavePath(); }
    std::string Received() {
        std::lock_guard lock(m_mutex);
        return m_received;
    }

  private:
    void Run() {
        const std::string sentence = "$GPTXT,01,01,02,STREAM*6A\r\n";
        while (!m_stop) {
            // Non-blocking: with no loop on the device its input simply fills up.
            (void)!write(m_pty.Master(), sentence.data(), sentence.size());
            pollfd p{m_pty.Master(), POLLIN, 0};
            if (poll(&p, 1, 2) > 0) {
                char buffer[4096];
                ssize_t n = read(m_pty.Master(), buffer, sizeof buffer);
                if (n > 0) {
                    std::lock_guard lock(m_mutex);
                    m_received.append(buffer, static_cast<std::size_t>(n));
                }
            }
        }
    }

    PtyPair m_pty;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::string m_received;
    std::thread m_thread;
};

// The numbers of the "S<n>" commands in text, in order of arrival.
std::vector<int> SendNumbers(const std::string& text) {
    std::vector<int> numbers;
    for (std::size_t at = text.find("\nS"); at != std::string::npos;
         at = text.find("\nS", at + 1)) {
        std::size_t end = text.find('\r', at);
        if (end != std::string::npos) numbers.push_back(std::stoi(text.substr(at + 2, end)));
    }
    return numbers;
}

TEST(TerminalStress, RapidSwitchesLeaveOneLoopAndLoseNoCommand) {
    StreamingPeer a;
    StreamingPeer b;
    DialogFixture fx({a.Path(), b.Path()});
    fx.SelectPort(2);
    const long sendsBefore = TerminalSendsWritten();

    std::mt19937 random(20261207);
    int posted = 0;
    int port = 2;
    for (int i = 0; i < kActions; ++i) {
        int pick = static_cast<int>(random() % 100);
        if (pick < 30) {
            fx.ToggleMode();
        } else if (pick < 75) {
            if (g_terminalMode == 1) fx.Send("\nS" + std::to_string(posted++));
        } else {
            port = 2 + static_cast<int>(random() % 2);
            fx.SelectPort(port);
        }
        if (random() % 4 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(random() % 3));
    }
    if (g_terminalMode != 1) fx.ToggleMode();
    fx.Send("\nFINAL");
    StreamingPeer& last = port == 2 ? a : b;
    StreamingPeer& other = port == 2 ? b : a;
    // Sessions are served in order, so once the last one answers every earlier loop
    // has ended.
    ASSERT_TRUE(
        WaitFor([&] { return last.Received().find("\nFINAL\r\n") != std::string::npos; }, 20000))
        << "loops " << RunningTerminalLoops() << " active " << ActiveTerminalSession()
        << " pending " << PendingTerminalCommands() << " questions " << fx.W().Questions().size()
        << " written " << TerminalSendsWritten() - sendsBefore << " posted " << posted << " tailA "
        << a.Received().substr(a.Received().size() > 200 ? a.Received().size() - 200 : 0)
        << " tailB "
        << b.Received().substr(b.Received().size() > 200 ? b.Received().size() - 200 : 0);
    EXPECT_EQ(RunningTerminalLoops(), 1);
    EXPECT_NE(ActiveTerminalSession(), 0);
    EXPECT_EQ(TerminalSendsWritten() - sendsBefore, posted + 1);
    EXPECT_TRUE(fx.W().Questions().empty());  // no job ever found its port busy

    // The loop owns the chosen device; the other one is free.
    PortHandle probe = OpenPort(other.Path().c_str(), 4800);
    EXPECT_NE(probe, kInvalidPort);
    ClosePort(probe);
    probe = OpenPort(last.Path().c_str(), 4800);
    EXPECT_EQ(probe, kInvalidPort);
    ClosePort(probe);

    // Each device saw its commands in the order they were posted, none twice. (A pty
    // may throw away output that the peer had not read yet when the next open or speed
    // change purges the line, so arrival is checked for order, not completeness; the
    // count above shows that every command was written.)
    std::set<int> seen;
    for (StreamingPeer* peer : {&a, &b}) {
        std::vector<int> numbers = SendNumbers(peer->Received());
        EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
        for (int n : numbers) EXPECT_TRUE(seen.insert(n).second) << n;
    }
    EXPECT_GT(seen.size(), static_cast<std::size_t>(posted) / 2);

    fx.ToggleMode();
    EXPECT_TRUE(WaitFor([] { return RunningTerminalLoops() == 0; }));
}

}  // namespace
}  // namespace zelvar
