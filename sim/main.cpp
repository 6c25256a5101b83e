// zelvar-sim: a simulated GPS receiver on a pseudo-terminal, for trying the loader
// without hardware. Runs until SIGINT or SIGTERM.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <string>

#include "sim/sim_arguments.h"
#include "sim/sim_receiver.h"

namespace {

std::atomic<bool> g_quit{false};
constexpr int kMainPollMs = 100;

void OnSignal(int) {
    g_quit = true;
}

}  // namespace

int main(int argc, char** argv) {
    zelvar::sim::SimOptions options;
    const int parsed = zelvar::sim::ParseSimArguments(argc, argv, options, std::cerr);
    if (parsed != zelvar::sim::kSimRun) return parsed;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    zelvar::sim::CSimReceiver receiver(options);
    std::string error;
    if (!receiver.Start(error)) {
        std::fprintf(stderr, "zelvar-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", receiver.LinkPath().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "zelvar-sim: receiver at %u bit/s on %s (device %s)\n",
                 options.startInPfld ? 19200u : options.normalSpeed, receiver.LinkPath().c_str(),
                 receiver.SlavePath().c_str());
    while (!g_quit) {
        usleep(kMainPollMs * 1000);
    }
    receiver.Stop();
    return 0;
}
