// The resident loader: probe and memory reads, the byte dialogue, the record exchange
// with every answer code it gives, including the drain back to REC_WAIT, and the SFLD it
// keeps across refused frames.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim/sim_checksum.h"
#include "sim_test_line.h"
#include "support/test_env.h"

namespace zelvar::sim::test {
namespace {

constexpr int kAnswerMs = 2000;

class SimResidentLoader : public ::testing::Test {
  protected:
    void SetUp() override {
        SimOptions options;
        options.startInPfld = true;
        options.flashIn = WriteImage();
        sim = StartSim(options);
        line = std::make_unique<SimTestLine>(sim->SlavePath(), 19200);
    }
    std::string WriteImage() {
        zelvar::test::WriteFile(dir.File("in.bin"), Text(MakeImage(0x1000, 0x1000, 5)));
        return dir.File("in.bin");
    }
    // After a refused frame the loader drains and then waits for a frame again.
    void ExpectDrainToWait() {
        Bytes skipped;
        EXPECT_TRUE(line->ReadUntil(0x77, kAnswerMs, &skipped));
        EXPECT_TRUE(skipped.empty());
    }

    zelvar::test::TempDir dir;
    std::unique_ptr<CSimReceiver> sim;
    std::unique_ptr<SimTestLine> line;
};

TEST_F(SimResidentLoader, AnswersProbeAndShortMemoryReads) {
    line->Send("$A\r\n");
    EXPECT_EQ(Text(line->ReadQuiet(150, kAnswerMs)), "A:PFLD 1.05\r\n");
    line->Send("$R10000020\r\n");
    EXPECT_EQ(Text(line->ReadQuiet(150, kAnswerMs)), "R10000020,10000000\r\n");
    line->Send("$R0\r\n");
    EXPECT_EQ(Text(line->ReadQuiet(150, kAnswerMs)), "R0,FFFFFFFF\r\n");
}

TEST_F(SimResidentLoader, DialogueGivesVersionOnceThenStepsThenWait) {
    line->SendByte(0x55);
    EXPECT_EQ(Text(line->ReadQuiet(150, kAnswerMs)), "$VER PFLD 1.05\r\n");
    line->SendByte(0x44);
    EXPECT_EQ(line->Read(1, kAnswerMs), Bytes{0x44});
    line->SendByte(0x45);
    EXPECT_EQ(line->Read(1, kAnswerMs), Bytes{0x77});
    line->SendByte(0x55);  // after the version every attention asks whether it waits
    EXPECT_EQ(line->Read(1, kAnswerMs), Bytes{0x77});
}

TEST_F(SimResidentLoader, GoodFramesAreAcceptedOddCountAndAddressOnlyToo) {
    ASSERT_TRUE(RunResidentDialogue(*line));
    EXPECT_EQ(SendFrame(*line, DataFrame(0x00201000, {1, 2, 3})), 0x55);
    EXPECT_EQ(SendFrame(*line, DataFrame(0x00201003, Bytes(2048, 0xAB))), 0x55);
    EXPECT_EQ(SendFrame(*line, DataFrame(0x00201803, {})), 0x55);
}

TEST_F(SimResidentLoader, BadCheckWordIsAnsweredBadCsumThenWait) {
    ASSERT_TRUE(RunResidentDialogue(*line));
    Bytes frame = DataFrame(0x00201000, {1, 2, 3, 4});
    frame[frame.size() - 2] ^= 0x01;
    EXPECT_EQ(SendFrame(*line, frame), 0x81);
    ExpectDrainToWait();
    // A payload byte changed in flight is caught the same way.
    frame = DataFrame(0x00201000, {1, 2, 3, 4});
    frame[8] ^= 0x40;
    EXPECT_EQ(SendFrame(*line, frame), 0x81);
    ExpectDrainToWait();
}

TEST_F(SimResidentLoader, WrongLengthsAreAnsweredBadLength) {
    ASSERT_TRUE(RunResidentDialogue(*line));
    Bytes tooLong = DataFrame(0x00201000, Bytes(2050, 0x11));
    EXPECT_EQ(SendFrame(*line, tooLong), 0x82);
    ExpectDrainToWait();
    Bytes oneWord{0x5B, 0x00, 0x01, 0x12, 0x34, 0x12, 0x34, 0x5D};
    EXPECT_EQ(SendFrame(*line, oneWord), 0x82);
    ExpectDrainToWait();
}

TEST_F(SimResidentLoader, MissingClosingBracketIsAnsweredNoRecEnd) {
    ASSERT_TRUE(RunResidentDialogue(*line));
    Bytes frame = DataFrame(0x00201000, {9, 8, 7, 6});
    frame.back() = 0x5C;
    EXPECT_EQ(SendFrame(*line, frame), 0x88);
    ExpectDrainToWait();
}

TEST_F(SimResidentLoader, LengthLongerThanTheFrameTimesOut) {
    ASSERT_TRUE(RunResidentDialogue(*line));
    Bytes frame = DataFrame(0x00201000, {9, 8, 7, 6});
    frame[2] += 4;  // announces eight more bytes than come
    EXPECT_EQ(SendFrame(*line, frame, 3 * kAnswerMs), 0x85);
    ExpectDrainToWait();
}

// The SFLD as the resident loader keeps it: the odd count's pad byte is kept too.
uint32_t StoredCrc(Bytes sfld) {
    if (sfld.size() % 2 != 0) {
        sfld.push_back(0);
    }
    return SfldCrc32(sfld.data(), sfld.size());
}

Bytes Part(const Bytes& bytes, size_t from, size_t to) {
    return Bytes(bytes.begin() + from, bytes.begin() + std::min(to, bytes.size()));
}

TEST_F(SimResidentLoader, RefusedSfldFrameKeepsWhatCameAndTheFrameWrittenAgainCompletesIt) {
    ASSERT_TRUE(RunResidentDialogue(*line));
    Bytes sfld = TestSfld();
    EXPECT_EQ(SendFrame(*line, DataFrame(0x00201000, Part(sfld, 0, 2048))), 0x55);
    Bytes bad = DataFrame(0x00201800, Part(sfld, 2048, sfld.size()));
    bad[5] ^= 0xFF;
    EXPECT_EQ(SendFrame(*line, bad), 0x81);
    ExpectDrainToWait();
    EXPECT_EQ(SendFrame(*line, DataFrame(0x00201800, Part(sfld, 2048, sfld.size()))), 0x55);
    EXPECT_EQ(sim->SfldChecksum(), 0u);
    EXPECT_EQ(SendFrame(*line, EndFrame()), 0x55);
    ASSERT_TRUE(sim->WaitForEvent("SFLD started: 3002 bytes at 0x00201000", kAnswerMs));
    EXPECT_EQ(sim->SfldChecksum(), StoredCrc(sfld));
    EXPECT_TRUE(WakeSfld(*line));
    EXPECT_EQ(sim->Mode(), SimMode::SecondLoader);
}

TEST_F(SimResidentLoader, SfldWithAHoleIsRefusedAtTheEndFrameUntilTheHoleIsFilled) {
    ASSERT_TRUE(RunResidentDialogue(*line));
    Bytes sfld(6144);
    for (size_t i = 0; i < sfld.size(); ++i) {
        sfld[i] = static_cast<uint8_t>(i * 5 + 1);
    }
    EXPECT_EQ(SendFrame(*line, DataFrame(0x00201000, Part(sfld, 0, 2048))), 0x55);
    EXPECT_EQ(SendFrame(*line, DataFrame(0x00202000, Part(sfld, 4096, 6144))), 0x55);
    EXPECT_EQ(SendFrame(*line, EndFrame()), 0x83);
    EXPECT_EQ(sim->CountEvents("end frame: the SFLD has a hole"), 1u);
    ExpectDrainToWait();
    EXPECT_EQ(SendFrame(*line, DataFrame(0x00201800, Part(sfld, 2048, 4096))), 0x55);
    EXPECT_EQ(SendFrame(*line, EndFrame()), 0x55);
    ASSERT_TRUE(sim->WaitForEvent("SFLD started: 6144 bytes at 0x00201000", kAnswerMs));
    EXPECT_EQ(sim->SfldChecksum(), StoredCrc(sfld));
}

TEST_F(SimResidentLoader, FrameBelowTheFirstOneMovesTheSfldsStart) {
    ASSERT_TRUE(RunResidentDialogue(*line));
    Bytes sfld = TestSfld();
    EXPECT_EQ(SendFrame(*line, DataFrame(0x00201800, Part(sfld, 2048, sfld.size()))), 0x55);
    EXPECT_EQ(SendFrame(*line, DataFrame(0x00201000, Part(sfld, 0, 2048))), 0x55);
    EXPECT_EQ(SendFrame(*line, EndFrame()), 0x55);
    ASSERT_TRUE(sim->WaitForEvent("SFLD started: 3002 bytes at 0x00201000", kAnswerMs));
    EXPECT_EQ(sim->SfldChecksum(), StoredCrc(sfld));
}

TEST_F(SimResidentLoader, SfldFrameOutsideTheRamIsRefused) {
    ASSERT_TRUE(RunResidentDialogue(*line));
    EXPECT_EQ(SendFrame(*line, DataFrame(0x00201000, {1, 2})), 0x55);
    EXPECT_EQ(SendFrame(*line, DataFrame(0x00201000 + 0x10000, {1, 2})), 0x83);
}

}  // namespace
}  // namespace zelvar::sim::test
