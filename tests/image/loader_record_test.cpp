// Loader record frames: the worked frames, the pad byte, the 2048-byte limit and the
// remainder carried to the next frame.
#include "image/loader_record.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "frame_decode.h"

namespace zelvar {
namespace {

using test::Bytes;

std::vector<uint8_t> FrameOf(const CLoaderRecord& record) {
    return std::vector<uint8_t>(record.Bytes(), record.Bytes() + record.Length());
}

std::vector<uint16_t> Units(std::size_t n, uint8_t first = 0) {
    std::vector<uint16_t> units(n);
    for (std::size_t i = 0; i < n; ++i) units[i] = static_cast<uint8_t>(first + i);
    return units;
}

TEST(LoaderRecordTest, WorkedFrames) {
    CLoaderRecord record;
    const uint16_t data[] = {0x01, 0x02, 0x03};
    record.Begin();
    EXPECT_FALSE(record.Append(0x00201000, 3, data));
    record.Finish();
    EXPECT_EQ(FrameOf(record), Bytes({0x5B, 0x00, 0x04, 0x00, 0x20, 0x10, 0x00, 0x01, 0x02, 0x03,
                                      0x00, 0x12, 0x22, 0x5D}));
    EXPECT_EQ(record.DataCount(), 3);  // the pad byte is not data
    EXPECT_EQ(record.BaseAddress(), 0x00201000u);

    record.MakeRange(0x10000000, 0x10100000);
    EXPECT_EQ(FrameOf(record), Bytes({0x5B, 0x00, 0x04, 0x10, 0x00, 0x00, 0x00, 0x10, 0x10, 0x00,
                                      0x00, 0x00, 0x10, 0x5D}));
    EXPECT_EQ(record.BaseAddress(), 0x10000000u);

    record.Begin();
    EXPECT_FALSE(record.Append(0x00201000, 0, nullptr));
    record.Finish();
    EXPECT_EQ(FrameOf(record), Bytes({0x5B, 0x00, 0x02, 0x00, 0x20, 0x10, 0x00, 0x10, 0x20, 0x5D}));
}

TEST(LoaderRecordTest, EndFrameHasNoPayloadAndZeroChecksum) {
    CLoaderRecord record;
    record.Begin();
    const uint16_t data[] = {0xAA};
    record.Append(0x1234, 1, data);
    record.MakeEnd();
    EXPECT_EQ(FrameOf(record), Bytes({0x5B, 0x00, 0x00, 0x00, 0x00, 0x5D}));
    EXPECT_EQ(record.BaseAddress(), 0u);
}

TEST(LoaderRecordTest, PutU32BEStoresMostSignificantByteFirst) {
    uint8_t out[4];
    CLoaderRecord::PutU32BE(out, 0x89ABCDEF);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 4), Bytes({0x89, 0xAB, 0xCD, 0xEF}));
}

TEST(LoaderRecordTest, OddAndEvenDataLengthsDecodeWithCorrectPadAndChecksum) {
    CLoaderRecord record;
    for (uint16_t n : {1, 2, 5, 6, 255, 256, 2047}) {
        const auto units = Units(n, 0x80);
        record.Begin();
        EXPECT_FALSE(record.Append(0xFFFFF000, n, units.data()));
        record.Finish();
        EXPECT_EQ(record.Length(), 4 + n + (n % 2) + 6) << n;
        const auto frame = test::DecodeDataFrame(record.Bytes(), record.Length(), n);
        ASSERT_TRUE(frame.valid) << frame.problem << " for " << n;
        EXPECT_EQ(frame.address, 0xFFFFF000u);
        for (uint16_t i = 0; i < n; ++i) EXPECT_EQ(frame.data[i], units[i] & 0xFF);
    }
}

TEST(LoaderRecordTest, ExactlyFullFrameSetsNothingAside) {
    CLoaderRecord record;
    const auto first = Units(2000);
    const auto second = Units(48, 0x10);
    record.Begin();
    EXPECT_FALSE(record.Append(0x100, 2000, first.data()));
    EXPECT_TRUE(record.Append(0x100 + 2000, 48, second.data()));
    EXPECT_FALSE(record.Remainder().present);
    record.Finish();
    EXPECT_EQ(record.DataCount(), 2048);
    EXPECT_EQ(record.Length(), 2058);  // the largest frame
    EXPECT_TRUE(test::DecodeDataFrame(record.Bytes(), record.Length(), 2048).valid);
}

TEST(LoaderRecordTest, FullFrameSetsAsideEveryFurtherAppend) {
    CLoaderRecord record;
    const auto all = Units(2048);
    const auto more = Units(3, 0x40);
    record.Begin();
    EXPECT_TRUE(record.Append(0x0, 2048, all.data()));
    EXPECT_TRUE(record.Append(0x800, 3, more.data()));
    ASSERT_TRUE(record.Remainder().present);
    EXPECT_EQ(record.Remainder().address, 0x800u);
    EXPECT_EQ(record.Remainder().count, 3);
    EXPECT_EQ(record.DataCount(), 2048);
}

TEST(LoaderRecordTest, AppendCrossingTheLimitSplitsAtTheFollowingAddress) {
    CLoaderRecord record;
    const auto head = Units(2040);
    const auto tail = Units(20, 0xA0);
    record.Begin();
    EXPECT_FALSE(record.Append(0x20000000, 2040, head.data()));
    EXPECT_TRUE(record.Append(0x20000000 + 2040, 20, tail.data()));
    const PendingData& rest = record.Remainder();
    ASSERT_TRUE(rest.present);
    EXPECT_EQ(rest.address, 0x20000000u + 2048);
    ASSERT_EQ(rest.count, 12);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(rest.units[i], tail[8 + i]);
    record.Finish();
    EXPECT_EQ(record.DataCount(), 2048);
}

TEST(LoaderRecordTest, AppendThatBreaksTheAddressAddsNothing) {
    CLoaderRecord record;
    const auto a = Units(10);
    const auto b = Units(4, 0x50);
    record.Begin();
    EXPECT_FALSE(record.Append(0x1000, 10, a.data()));
    EXPECT_TRUE(record.Append(0x1000 + 11, 4, b.data()));  // a one-byte gap
    EXPECT_EQ(record.DataCount(), 10);
    ASSERT_TRUE(record.Remainder().present);
    EXPECT_EQ(record.Remainder().address, 0x100Bu);
    EXPECT_EQ(record.Remainder().count, 4);
    EXPECT_TRUE(record.Append(0x0FFF, 4, b.data()));  // going backwards breaks too
    EXPECT_EQ(record.Remainder().address, 0x0FFFu);
}

TEST(LoaderRecordTest, FirstAppendOfAFrameClearsTheOldRemainder) {
    CLoaderRecord record;
    const auto a = Units(4);
    record.Begin();
    record.Append(0x10, 4, a.data());
    record.Append(0x99, 4, a.data());
    ASSERT_TRUE(record.Remainder().present);
    record.Begin();
    EXPECT_TRUE(record.Remainder().present);  // Begin leaves it for the reader to copy
    record.Append(0x99, 4, a.data());
    EXPECT_FALSE(record.Remainder().present);
}

TEST(LoaderRecordTest, ZeroUnitsBreakingTheAddressSetNothingAside) {
    CLoaderRecord record;
    const auto a = Units(4);
    record.Begin();
    record.Append(0x10, 4, a.data());
    EXPECT_TRUE(record.Append(0x40, 0, nullptr));
    EXPECT_FALSE(record.Remainder().present);
}

}  // namespace
}  // namespace zelvar
