// zelvar-sim: a simulated GPS receiver on a pseudo-terminal, for trying the loader
// without hardware. Runs until SIGINT or SIGTERM.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim/sim_link_path.h"
#include "sim/sim_receiver.h"

namespace {

using zelvar::sim::SimOptions;

std::atomic<bool> g_quit{false};
constexpr int kMainPollMs = 100;

void OnSignal(int) {
    g_quit = true;
}

void Usage() {
    std::fprintf(
        stderr,
        "usage: zelvar-sim [options]\n"
        "  --link PATH            link to the serial device (default %s)\n"
        "  --speed N              normal line speed (4800)\n"
        "  --version TEXT         identification version field (GQ07)\n"
        "  --pfld-version TEXT    resident loader version (1.05)\n"
        "  --sfld-version TEXT    SFLD version (2.01)\n"
        "  --pace                 act and answer at the real line rate\n"
        "  --flash-in FILE        composite image loaded into flash\n"
        "  --flash-out FILE       flash written after programming and at exit\n"
        "  --start-in-pfld        start in the resident loader\n"
        "  --noise MS             NMEA-like output every MS in normal operation\n"
        "  --sector-erase-ms MS   time to erase one 4 KiB sector (2)\n"
        "  --trace FILE           trace of received and sent bytes and events\n"
        "  --seed N               seed of the junk bytes and line faults (1)\n"
        "faults (each fires once):\n"
        "  --bad-csum N           answer BAD_CSUM to frame N\n"
        "  --wait-storm COUNT@N   COUNT REC_WAIT bytes before answering frame N\n"
        "  --erase-fail K         ERASE_FAILED after K erased sectors\n"
        "  --erase-unknown K[:HH] byte HH (42) after K erased sectors\n"
        "  --silence-after-bytes N, --silence-after-frame N, --silence-ms MS (0: for good)\n"
        "  --only-speed S         send nothing while not at speed S\n"
        "  --vanish-after N       close the line after N received bytes\n"
        "line faults (while a loader runs, from --seed):\n"
        "  --ber-in RATE          bit error rate of received bytes (0 to 1)\n"
        "  --ber-out RATE         bit error rate of sent bytes (0 to 1)\n"
        "  --drop-byte N          received byte N is lost (once)\n"
        "  --corrupt-ack N        REC_ACK to frame N goes out as 0x54 (once)\n"
        "  --miss-handshake N     the 0x55 that would arm frame N is not heard (once)\n",
        zelvar::sim::DefaultSimLinkPath().c_str());
}

bool ParseNumber(const char* text, unsigned long long& value, int base = 10) {
    char* end = nullptr;
    value = std::strtoull(text, &end, base);
    return end != text && *end == '\0';
}

bool ParseRate(const char* text, double& rate) {
    char* end = nullptr;
    rate = std::strtod(text, &end);
    return end != text && *end == '\0' && rate >= 0 && rate <= 1;
}

// Applies one option that takes a value; false when it is unknown or the value is bad.
bool ApplyValue(SimOptions& o, const std::string& name, const char* value) {
    unsigned long long n = 0;
    std::string text = value;
    if (name == "--link")
        o.linkPath = text;
    else if (name == "--version")
        o.versionText = text;
    else if (name == "--pfld-version")
        o.pfldVersion = text;
    else if (name == "--sfld-version")
        o.sfldVersion = text;
    else if (name == "--flash-in")
        o.flashIn = text;
    else if (name == "--flash-out")
        o.flashOut = text;
    else if (name == "--trace")
        o.traceFile = text;
    else if (name == "--ber-in")
        return ParseRate(value, o.faults.bitErrorRateIn);
    else if (name == "--ber-out")
        return ParseRate(value, o.faults.bitErrorRateOut);
    else if (name == "--wait-storm") {
        size_t at = text.find('@');
        unsigned long long frame = 1;
        if (!ParseNumber(text.substr(0, at).c_str(), n) ||
            (at != std::string::npos && !ParseNumber(text.substr(at + 1).c_str(), frame))) {
            return false;
        }
        o.faults.stormCount = static_cast<int>(n);
        o.faults.stormFrame = static_cast<int>(frame);
    } else if (name == "--erase-unknown") {
        size_t colon = text.find(':');
        unsigned long long byte = o.faults.eraseUnknownByte;
        if (!ParseNumber(text.substr(0, colon).c_str(), n) ||
            (colon != std::string::npos &&
             !ParseNumber(text.substr(colon + 1).c_str(), byte, 16))) {
            return false;
        }
        o.faults.eraseUnknownAfter = static_cast<int>(n);
        o.faults.eraseUnknownByte = static_cast<uint8_t>(byte);
    } else {
        if (!ParseNumber(value, n)) return false;
        if (name == "--speed")
            o.normalSpeed = static_cast<uint32_t>(n);
        else if (name == "--noise")
            o.noisePeriodMs = static_cast<int>(n);
        else if (name == "--sector-erase-ms")
            o.sectorEraseMs = static_cast<int>(n);
        else if (name == "--seed")
            o.seed = static_cast<uint32_t>(n);
        else if (name == "--bad-csum")
            o.faults.badCsumFrame = static_cast<int>(n);
        else if (name == "--erase-fail")
            o.faults.eraseFailAfter = static_cast<int>(n);
        else if (name == "--silence-after-bytes")
            o.faults.silenceAfterBytes = n;
        else if (name == "--silence-after-frame")
            o.faults.silenceAfterFrame = static_cast<int>(n);
        else if (name == "--silence-ms")
            o.faults.silenceMs = static_cast<int>(n);
        else if (name == "--only-speed")
            o.faults.answerOnlyAtSpeed = static_cast<uint32_t>(n);
        else if (name == "--vanish-after")
            o.faults.vanishAfterBytes = n;
        else if (name == "--drop-byte")
            o.faults.dropByteIn = n;
        else if (name == "--corrupt-ack")
            o.faults.corruptAckFrame = static_cast<int>(n);
        else if (name == "--miss-handshake")
            o.faults.missHandshakeFrame = static_cast<int>(n);
        else
            return false;
    }
    return true;
}

bool ParseArguments(int argc, char** argv, SimOptions& o) {
    o.linkPath = zelvar::sim::DefaultSimLinkPath();
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "--pace") {
            o.pace = true;
        } else if (name == "--start-in-pfld") {
            o.startInPfld = true;
        } else if (i + 1 < argc && ApplyValue(o, name, argv[i + 1])) {
            ++i;
        } else {
            std::fprintf(stderr, "zelvar-sim: bad option %s\n", name.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    SimOptions options;
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        Usage();
        return 0;
    }
    if (!ParseArguments(argc, argv, options)) {
        Usage();
        return 2;
    }
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
