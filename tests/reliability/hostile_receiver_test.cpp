// Every call that talks to the receiver, fed by a hostile receiver (seeded byte streams
// mixing noise with the protocol's bytes and texts) through a real pty: no crash, no
// access outside a buffer (the suite also runs under AddressSanitizer and
// UndefinedBehaviorSanitizer), and every call returns soon after the device goes away.
#include "hostile_receiver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "base/shared_state.h"
#include "image/firmware_image.h"
#include "image/loader_record.h"
#include "image/sfld_source.h"
#include "link/port.h"
#include "link/receiver_queries.h"
#include "reliability_doc.h"
#include "support/image_recipes.h"
#include "support/test_env.h"
#include "upload/flash_programming.h"
#include "upload/prepare_upload.h"
#include "upload/record_protocol.h"
#include "upload/sfld_upload.h"

namespace zelvar::test {
namespace {

constexpr int kDefaultSeeds = 3;
constexpr int kTalkMinMs = 200;
constexpr int kTalkSpreadMs = 600;
constexpr int kReturnLimitMs = 10000;  // loose: a lost port ends every wait at once
constexpr int kHangLimitMs = 60000;    // a call still running then hangs for good

struct Target {
    const char* name;
    int openSpeed;
    std::function<void(PortHandle)> call;
};

void DataFrame(CLoaderRecord& record) {
    uint16_t units[64];
    for (uint16_t i = 0; i < 64; ++i) units[i] = i;
    record.Begin();
    record.Append(0x10004000, 64, units);
    record.Finish();
}

std::vector<Target> Targets() {
    return {
        {"WaitForReply strict", 4800, [](PortHandle h) { WaitForReply(h, "$PQRXR,RDM,", true); }},
        {"WaitForReply loose", 4800, [](PortHandle h) { WaitForReply(h, "$PQRXR,PRT", false); }},
        {"ReadReceiverWord", 4800, [](PortHandle h) { ReadReceiverWord(0x10000020, h); }},
        {"ReadFlashSection", 4800,
         [](PortHandle h) {
             FlashSectionInfo info;
             ReadFlashSection(kFwBase, kFlashEnd, info, h);
         }},
        {"ConnectReceiver", 4800,
         [](PortHandle h) {
             ReceiverInfo info;
             ConnectReceiver(h, info);
         }},
        {"WaitForPortByte", 19200, [](PortHandle h) { WaitForPortByte(h, REC_WAIT, 0); }},
        {"SendRecord", 19200,
         [](PortHandle h) {
             CLoaderRecord record;
             DataFrame(record);
             SendRecord(h, record);
         }},
        {"SendRecordWithRecovery", 115200,
         [](PortHandle h) {
             CLoaderRecord record;
             record.MakeEnd();
             SendRecordWithRecovery(h, record);
         }},
        {"WaitForErase", 115200, [](PortHandle h) { WaitForErase(h); }},
        {"WakeLoader", 19200, [](PortHandle h) { WakeLoader(h); }},
        {"UploadSfld", 19200, [](PortHandle h) { UploadSfld(h, g_sfldReader); }},
        {"IdentifyAndProgram", 115200, [](PortHandle h) { IdentifyAndProgram(h); }},
        {"RunUpload", 57600, [](PortHandle h) { RunUpload(h); }},
    };
}

int SeedCount() {
    const char* text = std::getenv("ZELVAR_HOSTILE_SEEDS");
    const int n = text != nullptr ? std::atoi(text) : kDefaultSeeds;
    return n > 0 ? n : kDefaultSeeds;
}

class HostileReceiver : public ::testing::Test {
  protected:
    void SetUp() override {
        g_jobCancel = false;
        const std::string image = fixture.Dir().File("image.bin");
        ASSERT_TRUE(WriteBytes(image, MakeTestImage(5)));
        ASSERT_TRUE(LoadSfld(image.c_str()));
        ASSERT_TRUE(g_firmwareImage.Open(image.c_str()));
        ASSERT_TRUE(g_firmwareImage.Scan());
        g_receiverInfo = ReceiverInfo{};
        g_receiverInfo.speed = 4800;
        g_pfldMode = false;
    }

    // Runs the call against one hostile stream; returns how long after the close the
    // call came back (ms).
    long long RunOne(const Target& target, uint32_t seed) {
        PtyPair pty;
        PortHandle handle = OpenPort(pty.SlavePath().c_str(), target.openSpeed);
        EXPECT_NE(handle, kInvalidPort);
        if (handle == kInvalidPort) return 0;
        CHostileReceiver receiver(pty, seed,
                                  kTalkMinMs + static_cast<int>(seed * 7919 % kTalkSpreadMs));
        std::packaged_task<long long()> task([&] {
            target.call(handle);
            return SteadyMs();
        });
        std::future<long long> returned = task.get_future();
        std::thread caller(std::move(task));
        if (returned.wait_for(std::chrono::milliseconds(kHangLimitMs)) !=
            std::future_status::ready) {
            std::fprintf(stderr, "%s (seed %u) still runs %d ms after its device went away\n",
                         target.name, seed, kHangLimitMs);
            std::fflush(stderr);
            std::_Exit(1);  // the call holds the port and the test's objects: nothing to unwind
        }
        caller.join();
        const long long closedAt = receiver.WaitClosed();
        ClosePort(handle);
        return returned.get() - closedAt;
    }

    WindowFixture fixture;
};

TEST_F(HostileReceiver, EveryCallSurvivesHostileStreamsAndReturnsOnceTheDeviceIsGone) {
    const int seeds = SeedCount();
    std::vector<TableRow> rows;
    for (const Target& target : Targets()) {
        long long latest = 0;
        for (int s = 1; s <= seeds; ++s) {
            const uint32_t seed = static_cast<uint32_t>(s) * 2654435761u ^
                                  static_cast<uint32_t>(std::hash<std::string>{}(target.name));
            const long long late = RunOne(target, seed);
            latest = std::max(latest, late);
            EXPECT_LE(late, kReturnLimitMs) << target.name << " seed " << seed;
        }
        std::printf("hostile receiver: %s, %d streams, back at most %lld ms after the close\n",
                    target.name, seeds, latest);
        rows.push_back({target.name, std::to_string(target.openSpeed),
                        "no finding; returns once the device is gone"});
    }
    const std::string diff =
        CheckDocSection("hostile-receiver", MarkdownTable({"Call", "Line speed", "Outcome"}, rows));
    EXPECT_TRUE(diff.empty()) << diff;
}

}  // namespace
}  // namespace zelvar::test
