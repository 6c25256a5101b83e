// Reading flash words back in both memory-read forms and filling the section records,
// against a scripted peer that answers exact queries.
#include <cstring>
#include <map>
#include <string>

#include "link/version_parse.h"
#include "link_fixture.h"
#include "scripted_peer.h"

namespace zelvar::test {
namespace {

using Words = std::map<uint32_t, uint32_t>;

class FlashReadbackTest : public LinkTest {
  protected:
    ScriptedPeer m_peer{m_pty};
};

// Header words of a section with its checksum word at end.
Words Header(uint32_t start, uint32_t end, uint32_t crc) {
    return {{start + 0x20, start}, {start + 0x24, end}, {end, crc}};
}

TEST_F(FlashReadbackTest, NormalFormSendsTheQueryAndReadsTheValueField) {
    m_peer.Answer("$PQRXQ,RDM,10000020\r\n", "$PQRXR,RDM,10000020,1000ABCD*3C\r\n");
    m_peer.Answer("$PQRXQ,RDM,10000024\r\n", "$PQRXR,RDM,10000024:FFFFFFFF\r\n");
    EXPECT_EQ(ReadReceiverWord(0x10000020, m_handle), 0x1000ABCDu);
    // A colon separates the value too; erased flash reads like a failure.
    EXPECT_EQ(ReadReceiverWord(0x10000024, m_handle), 0xFFFFFFFFu);
    EXPECT_EQ(m_peer.Received(), "$PQRXQ,RDM,10000020\r\n$PQRXQ,RDM,10000024\r\n");
}

TEST_F(FlashReadbackTest, ReplyEchoingAnotherAddressFailsTheRead) {
    m_peer.Answer("$PQRXQ,RDM,10000020\r\n", "$PQRXR,RDM,10000024,10000000\r\n");
    EXPECT_EQ(ReadReceiverWord(0x10000020, m_handle), kWordReadFailed);
    SetLoaderDialectForTest(true);
    m_peer.Answer("$R10004020\r\n", "R10000020:10004000\r\n");
    EXPECT_EQ(ReadReceiverWord(0x10004020, m_handle), kWordReadFailed);
}

TEST_F(FlashReadbackTest, LoaderFormUsesTheShortQueryAndAStrictWait) {
    SetLoaderDialectForTest(true);
    m_peer.Answer("$R10000020\r\n", "R10000020:10000000\r\n");
    EXPECT_EQ(ReadReceiverWord(0x10000020, m_handle), 0x10000000u);
    EXPECT_EQ(m_peer.Received(), "$R10000020\r\n");

    // Anything but "R" first fails at once, without waiting out the silence.
    m_peer.Answer("$R10000024\r\n", "xR10000024:10003FF0\r\n");
    uint32_t word = 0;
    long long ms = ElapsedMs([&] { word = ReadReceiverWord(0x10000024, m_handle); });
    EXPECT_EQ(word, kWordReadFailed);
    EXPECT_LT(ms, 500);
}

TEST_F(FlashReadbackTest, LoaderSectionHeaderChecksumAndVersion) {
    m_peer.AnswerWords(Header(kFlashBase, 0x10003FF0, 0x5A5AA5A5), false);
    m_peer.AnswerWords(VersionAreaWords(0x10003FF0, "PFLD v1.05 xx", 4), false);
    FlashSectionInfo info;
    ASSERT_EQ(ReadFlashSection(kFlashBase, kFwBase, info, m_handle), 1);
    EXPECT_EQ(info.start, kFlashBase);
    EXPECT_EQ(info.length, 0x3FF0u);
    EXPECT_EQ(info.crc, 0x5A5AA5A5u);
    EXPECT_EQ(info.major, 1);
    EXPECT_EQ(info.minor, 5);
    EXPECT_STREQ(info.text, "1.05");
}

TEST_F(FlashReadbackTest, LoaderVersionWhoseBlankEndsTheTextStillGivesTheMinor) {
    m_peer.AnswerWords(Header(kFlashBase, 0x10003000, 0x1234), false);
    m_peer.AnswerWords(VersionAreaWords(0x10003000, "v12 34", 0, 0x00), false);
    FlashSectionInfo info;
    ASSERT_EQ(ReadFlashSection(kFlashBase, kFwBase, info, m_handle), 1);
    EXPECT_EQ(info.major, 12);
    EXPECT_EQ(info.minor, 34);
    EXPECT_STREQ(info.text, "12");
}

TEST_F(FlashReadbackTest, LoaderVersionAfterPosition30IsNotFound) {
    // "v" is byte 31; the checksum word (bytes 32 to 35) holds "3.4".
    m_peer.AnswerWords(Header(kFlashBase, 0x10003000, 0x00342E33), false);
    m_peer.AnswerWords(VersionAreaWords(0x10003000, "v", 31, 0x00), false);
    FlashSectionInfo info;
    ASSERT_EQ(ReadFlashSection(kFlashBase, kFwBase, info, m_handle), 1);
    EXPECT_EQ(info.length, 0x3000u);
    EXPECT_EQ(info.major, 0);
    EXPECT_EQ(info.minor, 0);
    EXPECT_STREQ(info.text, "");
}

class ImplausibleEndTest : public FlashReadbackTest,
                           public ::testing::WithParamInterface<uint32_t> {};

TEST_P(ImplausibleEndTest, FailsTheSection) {
    m_peer.AnswerWords({{kFlashBase + 0x20, kFlashBase}, {kFlashBase + 0x24, GetParam()}}, false);
    FlashSectionInfo info;
    EXPECT_EQ(ReadFlashSection(kFlashBase, kFwBase, info, m_handle), 0);
    EXPECT_EQ(info.start, kFlashBase);
    EXPECT_EQ(info.length, 0u);
}

INSTANTIATE_TEST_SUITE_P(Ends, ImplausibleEndTest,
                         ::testing::Values(kFwBase, kFlashBase, 0x0FFFFFF0u));

TEST_F(FlashReadbackTest, MismatchedStartWordLeavesTheRecordZero) {
    m_peer.Answer("$PQRXQ,RDM,10004020\r\n", "$PQRXR,RDM,10004020,10000000\r\n");
    m_peer.AnswerWords(Header(kFwBase, 0x10080000, 0x77), false);
    FlashSectionInfo info;
    EXPECT_EQ(ReadFlashSection(kFwBase, kFlashEnd, info, m_handle), 0);
    EXPECT_EQ(info.start, 0u);
    EXPECT_EQ(info.length, 0u);
    EXPECT_EQ(info.crc, 0u);
    EXPECT_STREQ(info.text, "");
}

struct MainVersionCase {
    const char* reply;
    const char* text;
    int minor;
};

class MainVersionTest : public FlashReadbackTest,
                        public ::testing::WithParamInterface<MainVersionCase> {};

TEST_P(MainVersionTest, IdentificationGivesTextAndMinor) {
    m_peer.AnswerWords(Header(kFwBase, 0x10080000, 0xCAFE), false);
    m_peer.Answer("$PQRXQ,RID\r\n", GetParam().reply);
    FlashSectionInfo info;
    ASSERT_EQ(ReadFlashSection(kFwBase, kFlashEnd, info, m_handle), 1);
    EXPECT_EQ(info.length, 0x7C000u);
    EXPECT_EQ(info.crc, 0xCAFEu);
    EXPECT_STREQ(info.text, GetParam().text);
    EXPECT_EQ(info.minor, GetParam().minor);
    EXPECT_EQ(info.major, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, MainVersionTest,
    ::testing::Values(MainVersionCase{"$PQRXR,RID,PQ,GQ07*1F\r\n", "GQ07", 7},
                      MainVersionCase{"$PQRXR,RID,A,B12,C*1F\r\n", "B12,C", 12},
                      // Digits in the first character do not count; the text keeps 8 bytes.
                      MainVersionCase{"$PQRXR,RID,A,7X300,LONGER\r\n", "7X300,LO", 44},
                      MainVersionCase{"$PQRXR,RID,A,ABC\r\n", "ABC", 0}));

TEST_F(FlashReadbackTest, MissingIdentificationLeavesTheMainSectionWithoutVersion) {
    m_peer.AnswerWords(Header(kFwBase, 0x10080000, 0xCAFE), false);
    FlashSectionInfo info;
    ASSERT_EQ(ReadFlashSection(kFwBase, kFlashEnd, info, m_handle), 1);
    EXPECT_EQ(info.length, 0x7C000u);
    EXPECT_EQ(info.crc, 0xCAFEu);
    EXPECT_EQ(info.minor, 0);
    EXPECT_STREQ(info.text, "");
}

// The version texts' own rules, straight on the parsers.
TEST(VersionParseTest, LoaderVersionEdges) {
    struct Case {
        std::string bytes;
        const char* text;
        int major;
        int minor;
    } cases[] = {
        {"v1.2 v3.4", "3.4", 3, 4},                // the last "v" wins
        {"vx v2", "2", 2, 0},                      // a "v" needs a digit after it
        {"v300.-2", "300.-2", 44, 254},            // modulo 256, a sign is taken
        {"v7.\x85", "7.", 7, 0},                   // bytes from 0x80 up end the text
        {"v9 \t12", "9", 9, 12},                   // blanks before the minor are skipped
        {"v123456789", "12345678", 21, 0},         // the text keeps 8 bytes
        {std::string(30, '_') + "v5", "5", 5, 0},  // position 30 is searched
        {std::string(31, '_') + "v5", "", 0, 0},   // position 31 is not
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        uint8_t scratch[kVersionScratchBytes] = {};
        std::memcpy(scratch, c.bytes.data(), c.bytes.size());
        FlashSectionInfo info;
        ParseLoaderVersion(scratch, info);
        EXPECT_STREQ(info.text, c.text);
        EXPECT_EQ(info.major, c.major);
        EXPECT_EQ(info.minor, c.minor);
    }
}

TEST(VersionParseTest, IdentificationWithoutSecondFieldGivesNoVersion) {
    FlashSectionInfo info;
    ParseMainVersion("$PQRXR,RID,GQ07\r\n", info);
    EXPECT_STREQ(info.text, "");
    EXPECT_EQ(info.minor, 0);
}

TEST(VersionParseTest, HexWords) {
    uint32_t value = 0;
    EXPECT_TRUE(ParseHexWord(" 1000abCD,", value));
    EXPECT_EQ(value, 0x1000ABCDu);
    EXPECT_FALSE(ParseHexWord(",12", value));
    EXPECT_FALSE(ParseHexWord("123456789", value));  // does not fit in 32 bits
    EXPECT_TRUE(ParseHexWord("00000000FFFFFFFF", value));
    EXPECT_EQ(value, 0xFFFFFFFFu);
}

}  // namespace
}  // namespace zelvar::test
