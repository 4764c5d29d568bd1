// The parser as it meets real files: header lines written in different ways, sections
// back to back, and damaged files that must be refused.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "firmware/firmware_info.h"
#include "firmware/memory_stream.h"
#include "firmware_builder.h"
#include "ui/error_table.h"

namespace {

class FirmwareParser : public ::testing::Test {
  protected:
    int Parse(const std::string& bytes) {
        bytes_ = bytes;
        MemoryStream stream(bytes_);
        return ParseFirmwareFile(stream, info);
    }
    int ParseHeader(const std::string& header) { return Parse(header + "#FileStart\n"); }
    size_t SectionCount() const {
        size_t n = 0;
        for (const ImageSection* s = info.sections; s; s = s->next) ++n;
        return n;
    }
    const ImageSection& Nth(size_t index) const {
        const ImageSection* s = info.sections;
        while (index--) s = s->next;
        return *s;
    }

    FirmwareInfo info;
    std::string bytes_;  // outlives the stream
};

TEST_F(FirmwareParser, ReadsAValidFileIntoHeaderAndSectionsInFileOrder) {
    FirmwareBuilder fw = ValidK4417F();
    std::string bytes = fw.Bytes();
    ASSERT_EQ(Parse(bytes), kOk);
    EXPECT_STREQ(info.ImageRev, "2.10.0");
    EXPECT_STREQ(info.ModelName, "K4417F");
    EXPECT_STREQ(info.RevsNotSupport, "1.0.0");
    EXPECT_STREQ(info.UpdatedDescription, "Sample firmware for tests");
    EXPECT_STREQ(info.UtilityRev, "1.0.6");
    ASSERT_EQ(SectionCount(), 6u);
    EXPECT_EQ(info.cursor, &Nth(5)) << "the cursor stays on the last section appended";
    for (size_t i = 0; i < 6; ++i) {
        const ImageSection& s = Nth(i);
        const TestSection& built = fw.Section(i);
        SCOPED_TRACE(i);
        EXPECT_EQ(s.id, kK4417FIds[i]);
        EXPECT_EQ(s.flag, 1);
        EXPECT_EQ(s.length, built.payloadSize + 16);
        EXPECT_EQ(s.word0, built.word0);
        EXPECT_EQ(s.word1, built.payloadSize + 16);
        EXPECT_STREQ(s.revision, "ZZZZ");
        EXPECT_EQ(s.bytesRead, s.length + 6);
        // data keeps the file's bytes, big-endian numbers included.
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.data.get()), s.bytesRead),
                  bytes.substr(fw.SectionOffset(i), s.bytesRead));
    }
}

TEST_F(FirmwareParser, NumbersAreBigEndianInTheFileAndHostOrderInTheNode) {
    TestSection s;
    s.word0 = 0x01020304;
    s.word1 = 0xA1B2C3D4;
    s.word4 = 0xFFFEFDFC;
    s.revision.assign("R1\0X", 4);
    ASSERT_EQ(Parse(FirmwareBuilder().FileStart().AddSection(s).Bytes()), kOk);
    const ImageSection& n = Nth(0);
    EXPECT_EQ(n.word0, 0x01020304u);
    EXPECT_EQ(n.word1, 0xA1B2C3D4u);
    EXPECT_EQ(n.word4, 0xFFFEFDFCu);
    EXPECT_STREQ(n.revision, "R1") << "a NUL among the four characters shortens the text";
    EXPECT_EQ(n.data.get()[0], 0x01);
    EXPECT_EQ(n.data.get()[3], 0x04);
}

TEST_F(FirmwareParser, CrLfHeaderParsesLikeLfAndSectionsStartAfterTheLineFeed) {
    K4417FFile crlf;
    crlf.crlf = true;
    ASSERT_EQ(Parse(ValidK4417F(crlf).Bytes()), kOk);
    EXPECT_STREQ(info.ModelName, "K4417F");
    EXPECT_STREQ(info.UtilityRev, "1.0.6");
    ASSERT_EQ(SectionCount(), 6u);
    EXPECT_EQ(Nth(0).id, 1);
}

TEST_F(FirmwareParser, BlanksAroundKeyAndValueAreTrimmedButALeadingBlankHidesTheLine) {
    ASSERT_EQ(ParseHeader("#  ImageRev =  1.2  \t\r\n"
                          " #ModelName=K4417F\n"
                          "#\tUtilityRev\t=\t1.0.6\n"),
              kOk);
    EXPECT_STREQ(info.ImageRev, "1.2");
    EXPECT_STREQ(info.ModelName, "");
    EXPECT_STREQ(info.UtilityRev, "1.0.6");
}

TEST_F(FirmwareParser, KeysAreCaseSensitiveAndLinesWithoutValueLeaveTheField) {
    ASSERT_EQ(ParseHeader("#ImageRev=1.0\n"
                          "#imagerev=9.9\n"
                          "#ImageRev\n"
                          "#ImageRev=\n"
                          "#ImageRev===\n"
                          "#==\n"
                          "#=   =x\n"
                          "#Unknown=1\n"
                          "plain text line\n"
                          "\n"),
              kOk);
    EXPECT_STREQ(info.ImageRev, "1.0");
}

TEST_F(FirmwareParser, ValuesAreUpperCasedExceptTheDescription) {
    ASSERT_EQ(ParseHeader("#ImageRev=1.0a\n#ModelName=k4417f\n#RevsNotSupport=abc\n"
                          "#UtilityRev=1.0.6a\n#UpdatedDescription=Fixes the clock, äöü ok\n"),
              kOk);
    EXPECT_STREQ(info.ImageRev, "1.0A");
    EXPECT_STREQ(info.ModelName, "K4417F");
    EXPECT_STREQ(info.RevsNotSupport, "ABC");
    EXPECT_STREQ(info.UtilityRev, "1.0.6A");
    EXPECT_STREQ(info.UpdatedDescription, "Fixes the clock, äöü ok");
}

TEST_F(FirmwareParser, AValueStopsAtASecondEqualsSign) {
    ASSERT_EQ(ParseHeader("#UpdatedDescription==a=b=c\n"), kOk);
    EXPECT_STREQ(info.UpdatedDescription, "a");
}

TEST_F(FirmwareParser, ALaterLineWithTheSameKeyWins) {
    ASSERT_EQ(ParseHeader("#ModelName=FIRST\n#ModelName=K4417F\n"), kOk);
    EXPECT_STREQ(info.ModelName, "K4417F");
}

TEST_F(FirmwareParser, HeaderValuesAtTheirFieldSizeAreRefused) {
    struct Case {
        const char* key;
        size_t accepted;
    } cases[] = {{"ImageRev", 15},
                 {"RevsNotSupport", 15},
                 {"UtilityRev", 15},
                 {"ModelName", 63},
                 {"UpdatedDescription", 511}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        std::string fits(c.accepted, 'v');
        EXPECT_EQ(ParseHeader(std::string("#") + c.key + "=" + fits + "\n"), kOk);
        EXPECT_EQ(ParseHeader(std::string("#") + c.key + "=" + fits + "v\n"), kErrHeaderTooLong);
    }
}

TEST_F(FirmwareParser, TooLongValueStopsAtOnceAndKeepsEarlierFields) {
    EXPECT_EQ(Parse("#ModelName=K4417F\n#ImageRev=0123456789ABCDEF\n#UtilityRev=1.0\n"
                    "#FileStart\n"),
              kErrHeaderTooLong);
    EXPECT_STREQ(info.ModelName, "K4417F");
    EXPECT_STREQ(info.UtilityRev, "");
    EXPECT_EQ(info.sections, nullptr);
}

TEST_F(FirmwareParser, DescriptionLosesTrailingHighBytesButKeepsInnerOnes) {
    ASSERT_EQ(ParseHeader("#UpdatedDescription=\xA0"
                          "caf\xE9 ok\xE9\xFF\x80\n"),
              kOk);
    EXPECT_STREQ(info.UpdatedDescription, "caf\xE9 ok");
}

TEST_F(FirmwareParser, FileStartWithAValueEndsTheHeaderToo) {
    for (const char* line : {"#FileStart=anything=else\n", "# FileStart =\r\n", "#=FileStart\n"}) {
        SCOPED_TRACE(line);
        ASSERT_EQ(Parse(std::string("#ImageRev=1\n") + line + SectionBytes(TestSection{})), kOk);
        EXPECT_EQ(SectionCount(), 1u);
    }
    // What follows the FileStart line is binary, even when it looks like a header line.
    EXPECT_EQ(Parse("#FileStart\n#ModelName=X\n"), kErrFileTruncated);
    EXPECT_STREQ(info.ModelName, "");
}

TEST_F(FirmwareParser, FileStartAsLastLineGivesAnEmptySectionList) {
    EXPECT_EQ(Parse("#ImageRev=1\n#FileStart\n"), kOk);
    EXPECT_EQ(info.sections, nullptr);
    EXPECT_EQ(Parse("#ImageRev=1\n#FileStart"), kOk);
    EXPECT_EQ(info.sections, nullptr);
    EXPECT_STREQ(info.ImageRev, "1");
}

TEST_F(FirmwareParser, MissingFileStartIsTruncatedEvenWithSectionsBehind) {
    EXPECT_EQ(Parse(""), kErrFileTruncated);
    EXPECT_EQ(Parse("#ImageRev=1\n#ModelName=K4417F\n"), kErrFileTruncated);
    EXPECT_STREQ(info.ImageRev, "1") << "header fields read so far survive";
    EXPECT_EQ(Parse("#ImageRev=1\n" + SectionBytes(TestSection{})), kErrFileTruncated);
    EXPECT_EQ(info.sections, nullptr);
}

TEST_F(FirmwareParser, LastSectionOneByteShortIsTruncated) {
    EXPECT_EQ(Parse(ValidK4417F().DropTail(1).Bytes()), kErrFileTruncated);
    EXPECT_EQ(SectionCount(), 6u) << "earlier sections and the incomplete node stay";
}

TEST_F(FirmwareParser, OneByteOfTrailingGarbageIsTakenAsAnotherSection) {
    EXPECT_EQ(Parse(ValidK4417F().Raw("\n").Bytes()), kErrFileTruncated);
    EXPECT_EQ(SectionCount(), 7u);
}

TEST_F(FirmwareParser, ASectionEndingBeforeItsFixedFieldsIsTruncated) {
    std::string bytes = FirmwareBuilder().FileStart().AddSection(TestSection{}).Bytes();
    EXPECT_EQ(Parse(bytes.substr(0, 11 + 19)), kErrFileTruncated);
}

// A 40-byte file must not make the parser ask for 4 GiB: the length is checked against
// the file before any buffer is allocated.
TEST_F(FirmwareParser, GiantLengthFieldIsRefusedBeforeAllocating) {
    for (uint32_t length : {0xFFFFFFFFu, 0xFFFFFFFAu, 0xFFFFFFF9u, 0x7FFFFFFFu, 0x00100000u}) {
        SCOPED_TRACE(length);
        TestSection s;
        s.lengthField = length;
        EXPECT_EQ(Parse(FirmwareBuilder().FileStart().AddSection(s).Bytes()), kErrFileTruncated);
        ASSERT_EQ(SectionCount(), 1u);
        EXPECT_FALSE(Nth(0).data) << "no buffer was allocated";
    }
}

// The writer's checksum starts at the length field (offset 8), so a section must be at
// least that long; a damaged file with a shorter one is refused while loading.
TEST_F(FirmwareParser, SectionTooShortForTheChecksumIsRefused) {
    // A length-8 section (14 bytes, id 5, flag 1) is the shortest accepted one.
    const std::string length8("\0\0\0\0\0\0\0\0\0\0\0\x08\x05\x01", 14);
    const std::string next = SectionBytes(TestSection{});
    for (uint32_t length : {6u, 7u}) {
        SCOPED_TRACE(length);
        std::string tooShort(length + 6, '\0');
        tooShort[11] = static_cast<char>(length);
        EXPECT_EQ(Parse("#FileStart\n" + tooShort + next), kErrFileTruncated);
    }
    EXPECT_EQ(Parse("#FileStart\n" + length8 + next), kOk);
}

TEST_F(FirmwareParser, ShortSectionsTakeIdAndFlagFromInsideTheFixedFields) {
    // length 8: 14 bytes, id and flag are bytes 12 and 13 (the first revision characters).
    const std::string length8("\0\0\0\0\0\0\0\0\0\0\0\x08\x05\x01", 14);
    ASSERT_EQ(Parse("#FileStart\n" + length8 + SectionBytes(TestSection{})), kOk);
    ASSERT_EQ(SectionCount(), 2u);
    EXPECT_EQ(Nth(0).length, 8u);
    EXPECT_EQ(Nth(0).id, 5);
    EXPECT_EQ(Nth(0).flag, 1);
    EXPECT_EQ(Nth(0).bytesRead, 14u);
    EXPECT_EQ(Nth(1).length, 32u) << "the next section starts at length + 6";
    // Alone at the end of the file its 20 fixed bytes do not fit.
    EXPECT_EQ(Parse("#FileStart\n" + length8), kErrFileTruncated);
}

TEST_F(FirmwareParser, LongDescriptionLineIsMeasuredWithinItsFirst1022Bytes) {
    const std::string prefix = "#UpdatedDescription=";  // 20 bytes
    // 1022 - 20 = 1002 value bytes in the first piece: far too long.
    EXPECT_EQ(ParseHeader(prefix + std::string(3000, 'd') + "\n"), kErrHeaderTooLong);
    // Value of 511 then blanks up to byte 1022 and more text after: the first piece trims
    // to 511 and is accepted; the rest is a line without "#".
    std::string line = prefix + std::string(511, 'd') + std::string(1022 - 20 - 511, ' ') + "tail";
    EXPECT_EQ(ParseHeader(line + "\n"), kOk);
    EXPECT_EQ(std::strlen(info.UpdatedDescription), 511u);
}

TEST_F(FirmwareParser, The1023rdByteOfALongLineStartsTheNextLine) {
    std::string longLine(1022, 'x');
    EXPECT_EQ(ParseHeader(longLine + "#ModelName=K4417F\n"), kOk);
    EXPECT_STREQ(info.ModelName, "K4417F");
    EXPECT_EQ(Parse(longLine + "#FileStart\n"), kOk);
    // Exactly 1022 bytes and its line feed: the line feed reads as an empty line.
    EXPECT_EQ(ParseHeader("#ImageRev=1" + std::string(1011, ' ') + "\n#ModelName=M\n"), kOk);
    EXPECT_STREQ(info.ImageRev, "1");
    EXPECT_STREQ(info.ModelName, "M");
}

TEST_F(FirmwareParser, ALastHeaderLineWithoutLineFeedIsStillRead) {
    EXPECT_EQ(Parse("#ModelName=K4417F"), kErrFileTruncated);
    EXPECT_STREQ(info.ModelName, "K4417F");
}

TEST_F(FirmwareParser, EachParseStartsFromAnEmptyRecord) {
    ASSERT_EQ(Parse(ValidK4417F().Bytes()), kOk);
    ASSERT_EQ(Parse("#ImageRev=2\n#FileStart\n"), kOk);
    EXPECT_STREQ(info.ModelName, "");
    EXPECT_EQ(info.sections, nullptr);
    EXPECT_EQ(info.cursor, nullptr);
}

// 350 000 sections of 14 bytes (and a last one long enough for its fixed fields):
// appending must not walk the list each time.
TEST_F(FirmwareParser, AFileOfManyTinySectionsParsesInLinearTime) {
    std::string section("\0\0\0\0\0\0\0\0\0\0\0\x08\x01\x01", 14);
    std::string bytes = "#FileStart\n";
    bytes.reserve(bytes.size() + 14 * 350000);
    for (int i = 0; i < 350000; ++i) bytes += section;
    bytes += SectionBytes(TestSection{});
    ASSERT_EQ(Parse(bytes), kOk);
    EXPECT_EQ(SectionCount(), 350001u);
    ClearFirmwareInfo(info);  // iterative: a long list does not exhaust the stack
    EXPECT_EQ(info.sections, nullptr);
}

TEST(TrimBlanks, DropsControlAndHighBytesAtBothEndsOnly) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"", ""},           {"   ", ""},        {"\x01\x20\x80\xFF", ""},
        {"  a b  ", "a b"}, {"\r\n\tx\r", "x"}, {"\xE9x\xE9y\xE9", "x\xE9y"},
        {"!", "!"},         {"~\x7F", "~\x7F"},  // 0x7F is not a blank
    };
    for (const Case& c : cases) {
        char buffer[32];
        std::strcpy(buffer, c.in);
        EXPECT_EQ(TrimBlanks(buffer), buffer);
        EXPECT_STREQ(buffer, c.out) << "input: " << c.in;
    }
    EXPECT_EQ(TrimBlanks(nullptr), nullptr);
}

}  // namespace
