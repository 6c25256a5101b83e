// Line faults while a loader runs: a spoilt REC_ACK, an unheard handshake, a lost byte,
// seeded bit errors, and frames whose opening bracket was lost.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim/sim_checksum.h"
#include "sim_test_line.h"

namespace zelvar::sim::test {
namespace {

constexpr int kAnswerMs = 2000;
constexpr int kQuietMs = 300;             // nothing came: the receiver did not answer
constexpr uint32_t kSfldAt = 0x00201000;  // where UploadSfld puts the SFLD
constexpr uint32_t kFwEnd = kFwStart + 0x6000;

std::unique_ptr<CSimReceiver> StartInLoader(const SimFaults& faults, uint32_t seed = 1) {
    SimOptions options;
    options.startInPfld = true;
    options.sectorEraseMs = 0;
    options.seed = seed;
    options.faults = faults;
    return StartSim(options);
}

Bytes Pattern(size_t size, uint8_t seed) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 29 + seed);
    }
    return bytes;
}

Bytes FlashPart(const CSimReceiver& sim, uint32_t from, uint32_t to) {
    Bytes flash = sim.Flash();
    return Bytes(flash.begin() + (from - kFlashStart), flash.begin() + (to - kFlashStart));
}

// Up to the SFLD's erase answer, the line at 115200, in the Data state.
bool EraseFw(SimTestLine& line) {
    line.SendByte(0x6A);
    if (line.Read(1, kAnswerMs) != Bytes{0x55} ||
        SendFrame(line, RangeFrame(kFwStart, kFwEnd)) != 0x55) {
        return false;
    }
    return line.ReadUntil(0x55, kAnswerMs);
}

std::vector<std::string> LineErrorEvents(const CSimReceiver& sim) {
    std::vector<std::string> events;
    for (const TraceEntry& e : sim.Trace()) {
        if (e.kind == TraceKind::Event && e.text.rfind("line error", 0) == 0) {
            events.push_back(e.text);
        }
    }
    return events;
}

size_t RefusedFrames(const CSimReceiver& sim) {
    size_t refused = 0;
    for (const TraceEntry& e : sim.Trace()) {
        bool answered = e.text.find(", answer 0x") != std::string::npos;
        refused +=
            e.kind == TraceKind::Event && ((answered && e.text.find("0x55") == std::string::npos) ||
                                           e.text.find("timed out") != std::string::npos);
    }
    return refused;
}

// The loader's way with a refused or unanswered frame: once the receiver has drained and
// sent REC_WAIT, the same frame again. True when it was accepted.
bool SendFrameUntilTaken(SimTestLine& line, const Bytes& frame) {
    bool waiting = false;  // REC_WAIT came: write the frame without asking first
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (!waiting) {
            line.SendByte(0x55);
            if (!line.ReadUntil(0x77, 500)) {
                continue;
            }
        }
        line.Send(frame);
        if (line.Read(1, 3000) == Bytes{0x55}) {
            return true;
        }
        waiting = line.ReadUntil(0x77, 3000);
    }
    return false;
}

TEST(SimCorruptAck, ResidentLoaderKeepsTheFrameOnceWhenItIsWrittenAgain) {
    SimFaults faults;
    faults.corruptAckFrame = 1;
    auto sim = StartInLoader(faults);
    SimTestLine line(sim->SlavePath(), 19200);
    ASSERT_TRUE(RunResidentDialogue(line));
    Bytes sfld = Pattern(2048, 3);
    EXPECT_EQ(SendFrame(line, DataFrame(kSfldAt, sfld)), 0x54);
    // The loader asks again: the receiver took the frame and waits for the next one.
    line.SendByte(0x55);
    EXPECT_EQ(line.Read(1, kAnswerMs), Bytes{0x77});
    line.Send(DataFrame(kSfldAt, sfld));
    EXPECT_EQ(line.Read(1, kAnswerMs), Bytes{0x55});
    EXPECT_EQ(SendFrame(line, EndFrame()), 0x55);
    ASSERT_TRUE(sim->WaitForEvent("SFLD started: 2048 bytes at 0x00201000", kAnswerMs));
    EXPECT_EQ(sim->SfldChecksum(), SfldCrc32(sfld.data(), sfld.size()));
}

TEST(SimCorruptAck, SfldDataFrameWrittenAgainLeavesTheFlashAsTheImage) {
    SimFaults faults;
    faults.corruptAckFrame = 5;  // 3 SFLD frames, the range frame, then the first data frame
    auto sim = StartInLoader(faults);
    SimTestLine line(sim->SlavePath(), 19200);
    ASSERT_TRUE(RunResidentDialogue(line));
    ASSERT_TRUE(UploadSfld(line, TestSfld()));
    ASSERT_TRUE(WakeSfld(line));
    ASSERT_TRUE(EraseFw(line));
    Bytes data = Pattern(2048, 11);
    EXPECT_EQ(SendFrame(line, DataFrame(kFwStart, data)), 0x54);
    EXPECT_EQ(SendFrame(line, DataFrame(kFwStart, data)), 0x55);
    EXPECT_EQ(FlashPart(*sim, kFwStart, kFwStart + 2048), data);
    EXPECT_EQ(sim->CountEvents("frame 5: REC_ACK sent as 0x54"), 1u);
}

TEST(SimMissedHandshake, FirstHandshakeForTheFrameIsNotAnsweredTheSecondIs) {
    SimFaults faults;
    faults.missHandshakeFrame = 2;
    auto sim = StartInLoader(faults);
    SimTestLine line(sim->SlavePath(), 19200);
    ASSERT_TRUE(RunResidentDialogue(line));
    EXPECT_EQ(SendFrame(line, DataFrame(kSfldAt, {1, 2})), 0x55);
    line.SendByte(0x55);
    EXPECT_TRUE(line.ReadQuiet(kQuietMs, kAnswerMs).empty());
    EXPECT_EQ(SendFrame(line, DataFrame(kSfldAt + 2, {3, 4})), 0x55);
    EXPECT_EQ(SendFrame(line, DataFrame(kSfldAt + 4, {5, 6})), 0x55);
    EXPECT_EQ(sim->CountEvents("handshake for frame 2 not heard"), 1u);
}

TEST(SimDroppedByte, FrameMissingAByteIsRefusedThenDrainedAndTakenWhenWrittenAgain) {
    SimFaults faults;
    // 0x55 0x44 0x45, the handshake, then the frame: '[' is byte 5, its data from 12.
    faults.dropByteIn = 20;
    auto sim = StartInLoader(faults);
    SimTestLine line(sim->SlavePath(), 19200);
    ASSERT_TRUE(RunResidentDialogue(line));
    Bytes frame = DataFrame(kSfldAt, Pattern(64, 1));
    uint8_t answer = SendFrame(line, frame, 3 * kAnswerMs);
    EXPECT_TRUE(answer == 0x85 || answer == 0x81 || answer == 0x88) << int{answer};
    Bytes skipped;
    EXPECT_TRUE(line.ReadUntil(0x77, kAnswerMs, &skipped));
    EXPECT_TRUE(skipped.empty());
    EXPECT_EQ(SendFrame(line, frame), 0x55);
    EXPECT_EQ(sim->CountEvents("byte 20 lost"), 1u);
    EXPECT_EQ(sim->LineStats().droppedIn, 1u);
}

// The same bytes into a receiver with the same seed: the same bytes spoilt.
std::vector<std::string> SpoiltIn(uint32_t seed, SimLineStats& stats) {
    SimFaults faults;
    faults.bitErrorRateIn = 0.01;
    auto sim = StartInLoader(faults, seed);
    SimTestLine line(sim->SlavePath(), 19200);
    line.Send(Bytes(2000, 0x44));
    line.ReadQuiet(kQuietMs, 5000);
    stats = sim->LineStats();
    for (const TraceEntry& e : sim->Trace()) {
        if (e.kind == TraceKind::Received && e.byte != e.meant) {
            EXPECT_FALSE(e.junk);  // a normal byte with another value
        }
    }
    return LineErrorEvents(*sim);
}

Bytes ArrivedOut(uint32_t seed, SimLineStats& stats) {
    SimFaults faults;
    faults.bitErrorRateOut = 0.01;
    auto sim = StartInLoader(faults, seed);
    SimTestLine line(sim->SlavePath(), 19200);
    line.Send(Bytes(2000, 0x44));  // each answered 0x44
    Bytes got = line.ReadQuiet(kQuietMs, 5000);
    stats = sim->LineStats();
    EXPECT_EQ(LineErrorEvents(*sim).size(), stats.LineErrors());
    return got;
}

TEST(SimBitErrors, SameSeedSpoilsTheSameBytesInEitherDirection) {
    SimLineStats first;
    SimLineStats again;
    SimLineStats other;
    std::vector<std::string> in = SpoiltIn(7, first);
    EXPECT_EQ(SpoiltIn(7, again), in);
    EXPECT_NE(SpoiltIn(8, other), in);
    // About 10% of the bytes, a fifth of those lost (start or stop bit).
    EXPECT_EQ(in.size(), first.LineErrors());
    EXPECT_GT(first.changedIn, 100u);
    EXPECT_GT(first.lostIn, 20u);

    Bytes out = ArrivedOut(7, first);
    EXPECT_EQ(ArrivedOut(7, again), out);
    EXPECT_NE(ArrivedOut(8, other), out);
    EXPECT_EQ(out.size(), 2000 - first.lostOut);
    EXPECT_EQ(static_cast<uint64_t>(
                  std::count_if(out.begin(), out.end(), [](uint8_t b) { return b != 0x44; })),
              first.changedOut);
}

TEST(SimBitErrors, OnlyWholeCheckedFramesAreAcceptedSoTheFlashHoldsTheImage) {
    SimFaults faults;
    // Low enough that two errors in one frame (which the check word may not see) are
    // rare, high enough that some frames of the pass are spoilt.
    faults.bitErrorRateIn = 2e-5;
    auto sim = StartInLoader(faults, 3);
    SimTestLine line(sim->SlavePath(), 19200);
    ASSERT_TRUE(RunResidentDialogue(line));
    Bytes sfld = TestSfld();
    for (size_t done = 0; done < sfld.size(); done += 2048) {
        Bytes part(sfld.begin() + done, sfld.begin() + std::min(sfld.size(), done + 2048));
        ASSERT_TRUE(SendFrameUntilTaken(line, DataFrame(kSfldAt + done, part)));
    }
    ASSERT_TRUE(SendFrameUntilTaken(line, EndFrame()));
    ASSERT_TRUE(WakeSfld(line));
    ASSERT_TRUE(EraseFw(line));
    Bytes image = MakeImage(0x2000, 0x6000, 9);
    constexpr size_t kPart = 128;
    for (uint32_t at = kFwStart; at < kFwEnd; at += kPart) {
        size_t from = at - kFlashStart;
        Bytes part(image.begin() + from, image.begin() + from + kPart);
        ASSERT_TRUE(SendFrameUntilTaken(line, DataFrame(at, part)));
    }
    EXPECT_GT(sim->LineErrors(), 0u);
    EXPECT_GT(RefusedFrames(*sim), 0u);
    EXPECT_EQ(FlashPart(*sim, kFwStart, kFwEnd), Bytes(image.begin() + (kFwStart - kFlashStart),
                                                       image.begin() + (kFwEnd - kFlashStart)));
}

// The bytes of a frame whose opening bracket was lost, commands among them.
Bytes WithoutBracket(const Bytes& frame) {
    return Bytes(frame.begin() + 1, frame.end());
}

TEST(SimLostBracket, SfldRunsNoCommandFromTheFramesBytes) {
    auto sim = StartInLoader(SimFaults{});
    SimTestLine line(sim->SlavePath(), 19200);
    ASSERT_TRUE(RunResidentDialogue(line));
    ASSERT_TRUE(UploadSfld(line, TestSfld()));
    ASSERT_TRUE(WakeSfld(line));
    ASSERT_TRUE(EraseFw(line));
    Bytes data{0x6A, 0x90, 0x07, 0x91, 0x6A, 0x6A, 0x90, 0x07};
    line.SendByte(0x55);
    ASSERT_EQ(line.Read(1, kAnswerMs), Bytes{0x77});
    line.Send(WithoutBracket(DataFrame(kFwStart, data)));
    EXPECT_TRUE(line.ReadQuiet(kQuietMs, kAnswerMs).empty());
    EXPECT_EQ(sim->CountEvents("boot mode"), 0u);
    EXPECT_EQ(SendFrame(line, DataFrame(kFwStart, data)), 0x55);
    EXPECT_EQ(FlashPart(*sim, kFwStart, kFwStart + 8), data);
}

TEST(SimLostBracket, ResidentLoaderRunsNoCommandFromTheFramesBytes) {
    auto sim = StartInLoader(SimFaults{});
    SimTestLine line(sim->SlavePath(), 19200);
    ASSERT_TRUE(RunResidentDialogue(line));
    Bytes data{0x44, 0x45, '$', 'A', '\r', 0x44, '$', 'R', '0', '\n'};
    line.SendByte(0x55);
    ASSERT_EQ(line.Read(1, kAnswerMs), Bytes{0x77});
    line.Send(WithoutBracket(DataFrame(kSfldAt, data)));
    EXPECT_TRUE(line.ReadQuiet(kQuietMs, kAnswerMs).empty());
    EXPECT_EQ(sim->CountEvents("loader probe"), 0u);
    // Once the line has been quiet the loader's commands are heard again.
    line.SendByte(0x44);
    EXPECT_EQ(line.Read(1, kAnswerMs), Bytes{0x44});
}

}  // namespace
}  // namespace zelvar::sim::test
