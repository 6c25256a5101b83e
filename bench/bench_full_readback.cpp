// Times the full read-back (every programmed word asked for with the receiver's word
// query) against the simulated receiver paced at the real line rate, at 4800 and 115200
// bit/s, once with the queries sent word by word and once with several ahead of their
// replies. Prints per run the words read, the seconds, the words per second, the share
// of the line's reply capacity that was used, the duration the loader announced, and the
// queries the receiver heard against the words (more queries: some replies went
// missing and their words were asked again).
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/headless_window.h"
#include "base/main_window.h"
#include "base/message_log.h"
#include "base/resource_ids.h"
#include "bench/bench_files.h"
#include "sim/sim_receiver.h"
#include "upload/flash_expectation.h"
#include "upload/full_readback.h"

namespace zelvar::bench {
namespace {

constexpr int kBitsPerByte = 10;
// A reply as the receiver sends it for a flash address: "$PQRXR,RDM,2000,DEADBEEF*5C\r\n".
constexpr int kReplyBytes = 29;

struct Case {
    int speed;
    uint32_t words;  // read from the flash's first address on
};

// Enough words for half a minute at either speed.
constexpr Case kCases[] = {{4800, 512}, {115200, 8192}};
constexpr std::size_t kFwBytes = 0x8000;
constexpr int kAheadCounts[] = {1, kReadAheadQueries};

struct Outcome {
    bool matched = false;
    double seconds = 0;
    std::size_t words = 0;
    std::size_t queries = 0;  // word queries the receiver heard
};

std::size_t AnnouncedWords(CHeadlessWindow& window, double& announcedSeconds) {
    for (const std::string& line : window.ListItems(IDC_MESSAGE_LIST)) {
        std::size_t words = 0;
        int speed = 0, minutes = 0, seconds = 0;
        if (std::sscanf(line.c_str(), "Full read-back: %zu words at %d bit/s, about %d min %d s",
                        &words, &speed, &minutes, &seconds) == 4) {
            announcedSeconds = minutes * 60.0 + seconds;
            return words;
        }
    }
    return 0;
}

Outcome ReadBack(const std::string& imagePath, const Case& c, int ahead, double& announced) {
    Outcome outcome;
    auto window = std::make_shared<CHeadlessWindow>();
    SetMainWindow(window);
    // The image's first words only: the read-back asks for what the flash window holds.
    auto flash = std::make_unique<ImageFlash>();
    if (!ReadImageFlash(imagePath.c_str(), *flash)) return outcome;
    for (std::size_t i = std::size_t{c.words} * 4; i < flash->present.size(); ++i)
        flash->present.reset(i);
    const int speed = c.speed;
    sim::SimOptions options;
    options.pace = true;
    options.normalSpeed = static_cast<uint32_t>(speed);
    options.flashIn = imagePath;
    sim::CSimReceiver receiver(options);
    std::string error;
    if (!receiver.Start(error)) {
        std::fprintf(stderr, "receiver: %s\n", error.c_str());
        return outcome;
    }
    const auto start = std::chrono::steady_clock::now();
    outcome.matched =
        ReadBackInFull(receiver.SlavePath().c_str(), speed, *flash, FlashExpectation{}, ahead);
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    receiver.Stop();
    outcome.queries = receiver.CountEvents("sentence $PQRXQ,RDM,");
    outcome.words = AnnouncedWords(*window, announced);
    SetMainWindow(nullptr);
    return outcome;
}

bool RunCase(const std::string& dir, const Case& c) {
    const std::vector<uint8_t> image = test::ImageOf(BenchImage(2, kFwBytes));
    const std::string path = dir + "image" + std::to_string(c.speed) + ".bin";
    if (image.empty() || !test::WriteBytes(path, image)) return false;
    bool ok = true;
    double wordByWord = 0;
    for (const int ahead : kAheadCounts) {
        double announced = 0;
        const Outcome o = ReadBack(path, c, ahead, announced);
        const double rate = o.seconds > 0 ? o.words / o.seconds : 0;
        const double lineShare = rate * kReplyBytes * kBitsPerByte / c.speed;
        if (ahead == 1) wordByWord = o.seconds;
        std::printf(
            "%6d bit/s, %d ahead: %zu words in %.1f s, %.1f words/s, replies %.0f%% of "
            "the line, announced %.0f s, %zu queries heard (%zu asked again), %s",
            c.speed, ahead, o.words, o.seconds, rate, 100 * lineShare, announced, o.queries,
            o.queries > o.words ? o.queries - o.words : 0,
            o.matched ? "all matched" : "NOT ALL MATCHED");
        if (ahead != 1 && o.seconds > 0)
            std::printf(", %.2f x word by word", wordByWord / o.seconds);
        std::printf("\n");
        ok &= o.matched && o.words > 0;
    }
    return ok;
}

int Run() {
    const std::string dir = MakeWorkDirectory("readback");
    if (dir.empty()) return 2;
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    bool ok = true;
    for (const Case& c : kCases) ok &= RunCase(dir, c);
    std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace zelvar::bench

int main(int argc, char** argv) {
    if (argc > 1) {
        std::fprintf(stderr, "usage: %s\n", argv[0]);
        return 2;
    }
    return zelvar::bench::Run();
}
