// The SFLD: a whole programming pass, boot mode and the resident loader's sectors, the
// erase codes, and the recovery paths that make the loader's next pass work.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "sim_test_line.h"
#include "support/test_env.h"

namespace zelvar::sim::test {
namespace {

constexpr int kAnswerMs = 2000;
constexpr uint32_t kNewFwEnd = kFwStart + 0x6000;  // sector aligned: the check word's
                                                   // sector lies past the range

class SimSecondLoader : public ::testing::Test {
  protected:
    void Begin(SimFaults faults = {}) {
        oldImage = MakeImage(0x3000, 0x9000, 7);
        newImage = MakeImage(0x2000, 0x6000, 9);
        zelvar::test::WriteFile(dir.File("old.bin"), Text(oldImage));
        SimOptions options;
        options.startInPfld = true;
        options.flashIn = dir.File("old.bin");
        options.flashOut = dir.File("out.bin");
        options.sectorEraseMs = 0;
        options.faults = faults;
        sim = StartSim(options);
        line = std::make_unique<SimTestLine>(sim->SlavePath(), 19200);
        ASSERT_TRUE(RunResidentDialogue(*line));
        ASSERT_TRUE(UploadSfld(*line, TestSfld()));
        ASSERT_TRUE(WakeSfld(*line));
    }
    // The loader after a failed pass: 19200 and an attention byte each turn until the
    // SFLD answers there; then 115200 again.
    bool BackAt19200() {
        line->SetSpeed(19200);
        for (int turn = 0; turn < 5; ++turn) {
            line->SendByte(0x55);
            Bytes got = line->Read(1, 500);
            if (got == Bytes{0x55}) {
                line->SetSpeed(115200);
                return true;
            }
        }
        return false;
    }
    Bytes FlashPart(uint32_t from, uint32_t to) {
        Bytes flash = sim->Flash();
        return Bytes(flash.begin() + (from - kFlashStart), flash.begin() + (to - kFlashStart));
    }
    Bytes ImagePart(const Bytes& image, uint32_t from, uint32_t to) {
        return Bytes(image.begin() + (from - kFlashStart), image.begin() + (to - kFlashStart));
    }
    void ExpectNewImageProgrammed(bool withPfld) {
        // Up to and including the FW check word, which the SFLD wrote itself.
        EXPECT_EQ(FlashPart(kFwStart, kNewFwEnd + 4), ImagePart(newImage, kFwStart, kNewFwEnd + 4));
        const Bytes& pfldSource = withPfld ? newImage : oldImage;
        EXPECT_EQ(FlashPart(kFlashStart, kFwStart), ImagePart(pfldSource, kFlashStart, kFwStart));
        // The rest of the check word's sector is erased, the old image lives on behind it.
        EXPECT_EQ(FlashPart(kNewFwEnd + 4, kNewFwEnd + kSectorSize), Bytes(kSectorSize - 4, 0xFF));
        EXPECT_EQ(FlashPart(kNewFwEnd + kSectorSize, kFwStart + 0x9000),
                  ImagePart(oldImage, kNewFwEnd + kSectorSize, kFwStart + 0x9000));
    }

    zelvar::test::TempDir dir;
    Bytes oldImage;
    Bytes newImage;
    std::unique_ptr<CSimReceiver> sim;
    std::unique_ptr<SimTestLine> line;
};

TEST_F(SimSecondLoader, PassInBootModeMakesFlashEqualTheImageOverTheRange) {
    Begin();
    PassResult pass = ProgramPass(*line, newImage, kNewFwEnd, true);
    EXPECT_TRUE(pass.versionSeen);
    EXPECT_EQ(pass.flashId, (Bytes{0x91, 0x05, 0x01, 0x22, 0x49, 0x00}));
    EXPECT_EQ(pass.sectors, 11);  // 0x10000000 up to the check word's sector
    ASSERT_TRUE(pass.complete);
    ASSERT_TRUE(sim->WaitForEvent("mode normal", kAnswerMs));
    ExpectNewImageProgrammed(true);
    EXPECT_EQ(sim->Programmings(), 1);

    // Normal operation again, at 4800, reading the new header words.
    line->SetSpeed(4800);
    line->Send("$PQRXQ,RDM,10004024\r\n");
    EXPECT_EQ(Text(line->ReadQuiet(150, kAnswerMs)).rfind("$PQRXR,RDM,10004024,1000A000*", 0), 0u);
    // The flash went out after the pass.
    std::string out = zelvar::test::ReadFile(dir.File("out.bin"));
    Bytes flash = sim->Flash();
    ASSERT_GE(out.size(), kNewFwEnd + 4 - kFlashStart);
    EXPECT_EQ(Bytes(out.begin(), out.end()), Bytes(flash.begin(), flash.begin() + out.size()));
}

TEST_F(SimSecondLoader, WithoutBootModeTheResidentLoaderSectorsAreLeftAlone) {
    Begin();
    PassResult pass = ProgramPass(*line, newImage, kNewFwEnd, false);
    EXPECT_EQ(pass.sectors, 7);
    ASSERT_TRUE(pass.complete);
    ASSERT_TRUE(sim->WaitForEvent("programmed", kAnswerMs));
    ExpectNewImageProgrammed(false);
}

TEST_F(SimSecondLoader, StrayAttentionBeforeTheSwitchIsNotTakenForAFailedPass) {
    Begin();
    line->SetSpeed(19200);  // the loader's extra attention bytes after the SFLD upload
    line->SendByte(0x55);
    line->SendByte(0x55);
    line->SetSpeed(115200);
    line->ReadQuiet(100, 500);
    line->SendByte(0x90);
    EXPECT_EQ(Text(line->ReadQuiet(150, kAnswerMs)), "$VER SFLD 2.01\r\n");
}

TEST_F(SimSecondLoader, EraseFailureThenANewPassErasesAndProgramsFromTheStart) {
    SimFaults faults;
    faults.eraseFailAfter = 2;
    Begin(faults);
    PassResult first = ProgramPass(*line, newImage, kNewFwEnd, true);
    EXPECT_EQ(first.sectors, 2);
    EXPECT_EQ(first.eraseEnd, 0x84);
    ASSERT_TRUE(BackAt19200());
    EXPECT_EQ(sim->CountEvents("attention at 19200: back to 19200"), 1u);
    PassResult second = ProgramPass(*line, newImage, kNewFwEnd, true);
    EXPECT_EQ(second.sectors, 11);
    ASSERT_TRUE(second.complete);
    ASSERT_TRUE(sim->WaitForEvent("programmed", kAnswerMs));
    ExpectNewImageProgrammed(true);
}

TEST_F(SimSecondLoader, EraseFailsOnAsManyPassesAsToldThenTheNextPassWorks) {
    SimFaults faults;
    faults.eraseFailAfter = 1;
    faults.eraseFailTimes = 2;
    Begin(faults);
    for (int pass = 0; pass < 2; ++pass) {
        PassResult failed = ProgramPass(*line, newImage, kNewFwEnd, true);
        EXPECT_EQ(failed.sectors, 1) << pass;
        EXPECT_EQ(failed.eraseEnd, 0x84) << pass;
        EXPECT_FALSE(failed.complete) << pass;
        ASSERT_TRUE(BackAt19200()) << pass;
    }
    EXPECT_EQ(sim->CountEvents("erase failed after 1 sectors"), 2u);
    ASSERT_TRUE(ProgramPass(*line, newImage, kNewFwEnd, true).complete);
    ASSERT_TRUE(sim->WaitForEvent("programmed", kAnswerMs));
    ExpectNewImageProgrammed(true);
}

// The spoiled word is in the flash written out too, and only the first programming
// spoils it: the next pass leaves the image's word.
TEST_F(SimSecondLoader, CorruptWordIsXoredOnceAfterTheProgramming) {
    constexpr uint32_t kAddress = kFwStart + kHeaderEndOffset;
    constexpr uint32_t kMask = 0x00F0000F;
    SimFaults faults;
    faults.corruptWordAddress = kAddress;
    faults.corruptWordMask = kMask;
    Begin(faults);
    ASSERT_TRUE(ProgramPass(*line, newImage, kNewFwEnd, true).complete);
    ASSERT_TRUE(sim->WaitForEvent("programmed", kAnswerMs));
    EXPECT_EQ(sim->FlashWord(kAddress), kNewFwEnd ^ kMask);
    const std::string out = zelvar::test::ReadFile(dir.File("out.bin"));
    ASSERT_GE(out.size(), kAddress + 4 - kFlashStart);
    EXPECT_EQ(static_cast<uint8_t>(out[kAddress - kFlashStart]),
              static_cast<uint8_t>(kNewFwEnd ^ kMask));
    EXPECT_EQ(sim->FlashWord(kFwStart + kHeaderStartOffset), kFwStart);  // its neighbour

    line->SetSpeed(4800);
    line->Send(Bytes(std::begin(kBootRequest), std::end(kBootRequest)));
    ASSERT_TRUE(sim->WaitForEvent("boot request", kAnswerMs));
    line->SetSpeed(19200);
    ASSERT_TRUE(RunResidentDialogue(*line));
    ASSERT_TRUE(UploadSfld(*line, TestSfld()));
    ASSERT_TRUE(WakeSfld(*line));
    ASSERT_TRUE(ProgramPass(*line, newImage, kNewFwEnd, true).complete);
    // The end frame's answer goes out before the pass is counted.
    for (int turn = 0; turn < kAnswerMs / 10 && sim->Programmings() < 2; ++turn) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(sim->Programmings(), 2);
    EXPECT_EQ(sim->FlashWord(kAddress), kNewFwEnd);
    EXPECT_EQ(sim->CountEvents("word at "), 1u);
}

TEST_F(SimSecondLoader, UnknownByteDuringTheEraseThenANewPass) {
    SimFaults faults;
    faults.eraseUnknownAfter = 1;
    faults.eraseUnknownByte = 0x42;
    Begin(faults);
    PassResult first = ProgramPass(*line, newImage, kNewFwEnd, false);
    EXPECT_EQ(first.sectors, 1);
    EXPECT_EQ(first.eraseEnd, 0x42);
    ASSERT_TRUE(BackAt19200());
    ASSERT_TRUE(ProgramPass(*line, newImage, kNewFwEnd, false).complete);
    ASSERT_TRUE(sim->WaitForEvent("programmed", kAnswerMs));
    ExpectNewImageProgrammed(false);
}

TEST_F(SimSecondLoader, RefusedDataFrameDrainsToWaitThenANewPass) {
    SimFaults faults;
    faults.badCsumFrame = 6;  // 3 SFLD frames, the range frame, then the 2nd data frame
    Begin(faults);
    PassResult first = ProgramPass(*line, newImage, kNewFwEnd, true);
    EXPECT_EQ(first.failedAnswer, 0x81);
    Bytes skipped;
    EXPECT_TRUE(line->ReadUntil(0x77, kAnswerMs, &skipped));
    EXPECT_TRUE(skipped.empty());
    ASSERT_TRUE(BackAt19200());
    ASSERT_TRUE(ProgramPass(*line, newImage, kNewFwEnd, true).complete);
    ASSERT_TRUE(sim->WaitForEvent("programmed", kAnswerMs));
    ExpectNewImageProgrammed(true);
}

TEST_F(SimSecondLoader, BadRangesAndDataOutsideTheFlashAreRefused) {
    Begin();
    line->SendByte(0x6A);
    ASSERT_EQ(line->Read(1, kAnswerMs), Bytes{0x55});
    EXPECT_EQ(SendFrame(*line, RangeFrame(0x10002000, 0x10001000)), 0x83);
    EXPECT_TRUE(line->ReadUntil(0x77, kAnswerMs));
    Bytes wrongSize = DataFrame(0x10000000, {1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_EQ(SendFrame(*line, wrongSize), 0x82);
    EXPECT_TRUE(line->ReadUntil(0x77, kAnswerMs));
    EXPECT_EQ(SendFrame(*line, RangeFrame(0x10004000, 0x10005000)), 0x55);
    Bytes rest;
    ASSERT_TRUE(line->ReadUntil(0x55, kAnswerMs, &rest));
    EXPECT_EQ(rest, (Bytes{0x8F, 0x8F}));  // the range's sector and its end word's
    EXPECT_EQ(SendFrame(*line, DataFrame(kFlashStart + kFlashSize - 2, {1, 2, 3, 4})), 0x83);
}

TEST(SimSecondLoaderLarge, NearlyFullFirmwareIsProgrammedAndItsEventsStillTraced) {
    SimOptions options;
    options.startInPfld = true;
    options.sectorEraseMs = 0;
    auto sim = StartSim(options);
    SimTestLine line(sim->SlavePath(), 19200);
    ASSERT_TRUE(RunResidentDialogue(line));
    ASSERT_TRUE(UploadSfld(line, TestSfld()));
    ASSERT_TRUE(WakeSfld(line));
    Bytes image = MakeImage(0x3FF0, 0xFFF00, 3);
    constexpr uint32_t kEnd = kFwStart + 0xFFF00;
    PassResult pass = ProgramPass(line, image, kEnd, true);
    EXPECT_EQ(pass.sectors, 0x104);
    ASSERT_TRUE(pass.complete);
    ASSERT_TRUE(sim->WaitForEvent("programmed", kAnswerMs));
    EXPECT_EQ(sim->CountEvents("trace full"), 1u);
    Bytes flash = sim->Flash();
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + (kEnd + 4 - kFlashStart), flash.begin()));
}

TEST(SimSecondLoaderUnstarted, EndFrameWithoutSfldStartsNothing) {
    SimOptions options;
    options.startInPfld = true;
    auto sim = StartSim(options);
    SimTestLine line(sim->SlavePath(), 19200);
    ASSERT_TRUE(RunResidentDialogue(line));
    EXPECT_EQ(SendFrame(line, EndFrame()), 0x83);
    EXPECT_EQ(sim->Mode(), SimMode::ResidentLoader);
}

}  // namespace
}  // namespace zelvar::sim::test
