// The S-record reader: line decoding and its limits, Scan's start, entry and size, and
// the frames NextRecord cuts from the S3 data.
#include "image/srecord_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame_decode.h"
#include "image/composite_builder.h"
#include "image/srecord_writer.h"
#include "support/test_env.h"

namespace zelvar {
namespace {

class SRecordReaderTest : public ::testing::Test {
  protected:
    // Opens the reader on a file holding text.
    void OpenText(const std::string& text) {
        const std::string path = m_dir.File("image" + std::to_string(m_files++) + ".srec");
        test::WriteFile(path, text);
        ASSERT_TRUE(m_reader.Open(path.c_str()));
    }
    ReadResult ReadOne(const std::string& line) {
        OpenText(line);
        return m_reader.ReadRecord(m_record);
    }
    test::CollectedImage Frames() {
        return test::CollectFrames([this](CLoaderRecord& r) { return m_reader.NextRecord(r); });
    }
    static std::string S3(uint32_t address, const std::vector<uint8_t>& data) {
        return MakeSRecordLine('3', 4, address, data.data(), data.size());
    }

    test::TempDir m_dir;
    int m_files = 0;
    CSRecordReader m_reader;
    SRecord m_record;
};

std::vector<uint8_t> Pattern(std::size_t n, uint8_t seed) {
    std::vector<uint8_t> out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(seed + i * 7);
    return out;
}

TEST_F(SRecordReaderTest, DecodesEachRecordType) {
    ASSERT_EQ(ReadOne("S00600004844521B\n"), ReadOk);
    EXPECT_EQ(m_record.type, 0);
    EXPECT_EQ(m_record.count, 0);
    EXPECT_EQ(m_record.address, 0u);

    ASSERT_EQ(ReadOne("S1061234A1B2C39D\n"), ReadOk);  // bc 6: address 2, data 3, checksum 1
    EXPECT_EQ(m_record.type, 1);
    EXPECT_EQ(m_record.address, 0x1234u);
    ASSERT_EQ(m_record.count, 3);
    EXPECT_EQ(m_record.data[0], 0xA1);
    EXPECT_EQ(m_record.data[2], 0xC3);
    EXPECT_EQ(m_record.checksum, 0x9D);

    ASSERT_EQ(ReadOne(MakeSRecordLine('2', 3, 0xABCDEF, Pattern(2, 1).data(), 2) + "\n"), ReadOk);
    EXPECT_EQ(m_record.type, 2);
    EXPECT_EQ(m_record.address, 0xABCDEFu);
    EXPECT_EQ(m_record.count, 2);

    ASSERT_EQ(ReadOne("s30910000000deadbeefae\n"), ReadError);  // the leading 'S' is upper-case
    ASSERT_EQ(ReadOne("S30910000000deadbeefae\n"), ReadOk);     // lower-case digits
    EXPECT_EQ(m_record.address, 0x10000000u);
    ASSERT_EQ(m_record.count, 4);
    EXPECT_EQ(m_record.data[3], 0xEF);

    ASSERT_EQ(ReadOne("S70510000004E6\r\n"), ReadOk);
    EXPECT_EQ(m_record.type, 7);
    EXPECT_EQ(m_record.address, 0x10000004u);
    EXPECT_EQ(m_record.count, 5);  // the raw byte count

    ASSERT_EQ(ReadOne("S5030003F9\n"), ReadOk);  // a record count: verified, then ignored
    EXPECT_EQ(m_record.type, 5);
    EXPECT_EQ(m_record.count, 3);
}

TEST_F(SRecordReaderTest, LineLengthLimitIs78Characters) {
    const std::string longest = S3(0x10000000, Pattern(32, 3));
    ASSERT_EQ(longest.size(), 78u);
    EXPECT_EQ(ReadOne(longest + "\n"), ReadOk);
    EXPECT_EQ(m_record.count, 32);
    EXPECT_EQ(ReadOne(longest + "0\n"), ReadError);  // checksum still right, one too long
    EXPECT_EQ(ReadOne(S3(0x10000000, Pattern(33, 3)) + "\n"), ReadError);
}

TEST_F(SRecordReaderTest, RejectsMalformedLines) {
    EXPECT_EQ(ReadOne("S30910000000DEADBEEFAD\n"), ReadError);  // checksum off by one
    EXPECT_EQ(ReadOne("X30910000000DEADBEEFAE\n"), ReadError);
    EXPECT_EQ(ReadOne("\n"), ReadError);
    EXPECT_EQ(ReadOne("S3\n"), ReadError);
    EXPECT_EQ(ReadOne("S30910000000DEAGBEEFAE\n"), ReadError);  // not a hex digit
    EXPECT_EQ(ReadOne(" S30910000000DEADBEEFAE\n"), ReadError);
}

TEST_F(SRecordReaderTest, RejectsByteCountsThatDoNotFitAddressOrLine) {
    // Valid checksums, but the count is below address width plus checksum byte.
    EXPECT_EQ(ReadOne("S304100000" + std::string("EB") + "\n"), ReadError);
    EXPECT_EQ(ReadOne("S2031000EC\n"), ReadError);
    EXPECT_EQ(ReadOne("S10212EB\n"), ReadError);
    EXPECT_EQ(ReadOne("S70410000000EB\n"), ReadError);
    // Counts larger than the line: the decoder must stop at the line's end.
    EXPECT_EQ(ReadOne("S3FF10000000DEADBEEFAE\n"), ReadError);
    EXPECT_EQ(ReadOne("S3FF\n"), ReadError);
    EXPECT_EQ(ReadOne("S000\n"), ReadError);
    // An S3 record with no data bytes is well formed.
    EXPECT_EQ(ReadOne(S3(0x10000000, {}) + "\n"), ReadOk);
    EXPECT_EQ(m_record.count, 0);
}

TEST_F(SRecordReaderTest, ClosedReaderFailsEverything) {
    EXPECT_EQ(m_reader.ReadRecord(m_record), ReadError);
    EXPECT_FALSE(m_reader.Scan());
    EXPECT_FALSE(m_reader.Probe());
    CLoaderRecord record;
    EXPECT_FALSE(m_reader.NextRecord(record));
    EXPECT_FALSE(m_reader.Open(m_dir.File("missing.srec").c_str()));
    EXPECT_EQ(m_reader.Mode(), OriginNone);
}

TEST_F(SRecordReaderTest, ScanSizeIsDistanceBetweenLowestAndHighestRecordStarts) {
    // 343 records from 0x00201000: 342 of 16 bytes, the last one at 0x00202560 with 12.
    OpenText(MakeSRecordText(0x00201000, Pattern(342 * 16 + 12, 9), 0x00201000, 16));
    ASSERT_TRUE(m_reader.Scan());
    EXPECT_EQ(m_reader.StartAddress(), 0x00201000u);
    EXPECT_EQ(m_reader.ImageSize(), 0x1560u);
    EXPECT_EQ(m_reader.EntryPoint(), 0x00201000u);
}

TEST_F(SRecordReaderTest, ScanEntryPointAndOrder) {
    const std::string text = S3(0x3000, {1, 2}) + "\n" + S3(0x1000, {3}) + "\r\n" +
                             "S70500000100F9\n" + S3(0x2000, {4}) + "\n" + "S70500000200F8\n";
    OpenText(text);
    ASSERT_TRUE(m_reader.Scan());
    EXPECT_EQ(m_reader.StartAddress(), 0x1000u);
    EXPECT_EQ(m_reader.ImageSize(), 0x2000u);
    EXPECT_EQ(m_reader.EntryPoint(), 0x200u);  // the later S7 wins

    OpenText(S3(0x5000, {1}) + "\n" + S3(0x4000, {2}) + "\n");
    ASSERT_TRUE(m_reader.Scan());
    EXPECT_EQ(m_reader.EntryPoint(), 0x4000u);  // no S7: the lowest S3 address
}

TEST_F(SRecordReaderTest, ScanWithoutDataRecords) {
    OpenText("S00600004844521B\nS1061234A1B2C39D\nS70500000100F9\n");
    ASSERT_TRUE(m_reader.Scan());
    EXPECT_EQ(m_reader.StartAddress(), 0xFFFFFFFFu);
    EXPECT_EQ(m_reader.ImageSize(), 1u);
    EXPECT_EQ(m_reader.EntryPoint(), 0x100u);

    OpenText("S00600004844521B\n");
    ASSERT_TRUE(m_reader.Scan());
    EXPECT_EQ(m_reader.EntryPoint(), 0xFFFFFFFFu);
    EXPECT_EQ(m_reader.ImageSize(), 1u);
}

TEST_F(SRecordReaderTest, EmptyLineAnywhereFailsTheScan) {
    const std::string a = S3(0x1000, {1}) + "\n";
    OpenText(a + "\n" + a);
    EXPECT_FALSE(m_reader.Scan());
    OpenText(a + a + "\n");
    EXPECT_FALSE(m_reader.Scan());
    OpenText(a + "\r\n");
    EXPECT_FALSE(m_reader.Scan());
    OpenText(a + a);
    EXPECT_TRUE(m_reader.Scan());
}

TEST_F(SRecordReaderTest, ProbeAcceptsEmptyTextAndRewindsToTheStart) {
    OpenText("");
    EXPECT_TRUE(m_reader.Probe());
    OpenText("garbage\n" + S3(0x1000, {1}) + "\n");
    EXPECT_FALSE(m_reader.Probe());
    OpenText(S3(0x1000, {1}) + "\n" + S3(0x0800, {2}) + "\n");
    ASSERT_TRUE(m_reader.Probe());
    ASSERT_TRUE(m_reader.Scan());
    EXPECT_EQ(m_reader.StartAddress(), 0x0800u);
    EXPECT_EQ(m_reader.ImageSize(), 0x0800u);  // the first line was read again
}

TEST_F(SRecordReaderTest, FramesSplitAtTheLimitAndCarryTheTail) {
    const auto data = Pattern(5000, 1);
    OpenText(MakeSRecordText(0x00201000, data, 0, 12));  // 2048 is no multiple of 12
    m_reader.Rewind();
    const auto image = Frames();
    ASSERT_TRUE(image.ok) << image.problem;
    ASSERT_EQ(image.frameSizes, (std::vector<uint16_t>{2048, 2048, 904}));
    EXPECT_EQ(image.frameAddresses,
              (std::vector<uint32_t>{0x00201000, 0x00201000 + 2048, 0x00201000 + 4096}));
    for (std::size_t i = 0; i < data.size(); ++i) {
        ASSERT_EQ(image.memory.at(0x00201000 + static_cast<uint32_t>(i)), data[i]) << i;
    }
}

TEST_F(SRecordReaderTest, GapsAndAddressChangesStartNewFrames) {
    const std::string text = "S00600004844521B\n" + S3(0x100, {1, 2, 3}) + "\n" +
                             "S1061234A1B2C39D\n" + S3(0x103, {4}) + "\n" + S3(0x200, {5, 6}) +
                             "\n" + S3(0x050, {7}) + "\n" + S3(0x051, {8}) + "\nS70500000100F9\n";
    OpenText(text);
    m_reader.Rewind();
    const auto image = Frames();
    ASSERT_TRUE(image.ok) << image.problem;
    EXPECT_EQ(image.frameAddresses, (std::vector<uint32_t>{0x100, 0x200, 0x050}));
    EXPECT_EQ(image.frameSizes, (std::vector<uint16_t>{4, 2, 2}));
    EXPECT_EQ(image.memory.size(), 8u);  // the S1 record sent nothing
    EXPECT_EQ(image.memory.at(0x051), 8);
}

TEST_F(SRecordReaderTest, DataRecordWithoutBytesDoesNotEndTheImage) {
    OpenText(S3(0x100, {}) + "\n" + S3(0x400, {1, 2}) + "\n" + S3(0x700, {}) + "\n" +
             S3(0x900, {3}) + "\n");
    m_reader.Rewind();
    const auto image = Frames();
    ASSERT_TRUE(image.ok) << image.problem;
    EXPECT_EQ(image.frameAddresses, (std::vector<uint32_t>{0x400, 0x900}));
}

TEST_F(SRecordReaderTest, EveryCallAfterTheEndGivesAFrameWithoutData) {
    OpenText(S3(0x100, {1, 2}) + "\n");
    m_reader.Rewind();
    CLoaderRecord record;
    ASSERT_TRUE(m_reader.NextRecord(record));
    EXPECT_EQ(record.DataCount(), 2);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(m_reader.NextRecord(record));
        EXPECT_EQ(record.DataCount(), 0);
        EXPECT_EQ(record.Length(), 6);
    }
}

TEST_F(SRecordReaderTest, RemainderLeftInAReusedFrameIsNotCarried) {
    // An aborted pass leaves the caller's frame holding a remainder; an image without
    // data read next into the same frame must end at once, not resend that remainder.
    OpenText(MakeSRecordText(0x8000, Pattern(3000, 5), 0, 30));
    m_reader.Rewind();
    CLoaderRecord record;
    ASSERT_TRUE(m_reader.NextRecord(record));
    ASSERT_TRUE(record.Remainder().present);
    CSRecordReader other;
    const std::string path = m_dir.File("header-only.srec");
    test::WriteFile(path, "S00600004844521B\n");
    ASSERT_TRUE(other.Open(path.c_str()));
    other.Rewind();
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(other.NextRecord(record));
        EXPECT_EQ(record.DataCount(), 0) << i;
    }
}

TEST_F(SRecordReaderTest, ReadErrorInTheMiddleFailsNextRecord) {
    OpenText(S3(0x100, {1}) + "\n" + "S30910000000DEADBEEFAD\n");
    m_reader.Rewind();
    CLoaderRecord record;
    EXPECT_FALSE(m_reader.NextRecord(record));
}

TEST_F(SRecordReaderTest, RewindAfterPartialReadStartsAgainAndDropsTheRemainder) {
    const auto data = Pattern(3000, 5);
    OpenText(MakeSRecordText(0x8000, data, 0, 30));
    m_reader.Rewind();
    CLoaderRecord record;
    ASSERT_TRUE(m_reader.NextRecord(record));  // leaves a remainder of a split record
    ASSERT_EQ(record.DataCount(), 2048);
    m_reader.Rewind();
    const auto image = Frames();
    ASSERT_TRUE(image.ok) << image.problem;
    EXPECT_EQ(image.frameAddresses, (std::vector<uint32_t>{0x8000, 0x8800}));
    EXPECT_EQ(image.memory.size(), data.size());
}

}  // namespace
}  // namespace zelvar
