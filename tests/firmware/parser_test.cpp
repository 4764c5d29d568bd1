// The parser as it meets real files: header lines written in different ways, sections
// back to back, and damaged files that must be refused.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/result_code.h"
#include "firmware/firmware_info.h"
#include "firmware/firmware_parser.h"
#include "firmware/memory_stream.h"
#include "firmware_builder.h"

namespace {

class FirmwareParser : public ::testing::Test {
  protected:
    int Parse(const std::string& bytes) {
        bytes_ = bytes;
        MemoryStream stream(bytes_);
        return ParseFirmwareFile(stream, info);
    }
    int ParseHeader(const std::string& header) { return Parse(header + "#FileStart\n"); }
    std::string Fields() const {
        return std::string(info.ImageRev) + "|" + info.ModelName + "|" + info.RevsNotSupport + "|" +
               info.UtilityRev + "|" + info.UpdatedDescription;
    }
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

// Header lines as files carry them, each with the code and the five fields it leaves
// (ImageRev|ModelName|RevsNotSupport|UtilityRev|UpdatedDescription). Every row is an
// input that once mattered: keep them when changing the parser.
TEST_F(FirmwareParser, HeaderLinesAreReadTrimmedAndUpperCasedAsOperatorsWriteThem) {
    const std::string start = "#FileStart\n";
    const std::string longLine(1022, 'x');
    const std::string description = "#UpdatedDescription=";  // 20 bytes
    K4417FFile crlf;
    crlf.crlf = true;
    struct Case {
        const char* what;
        std::string bytes;
        int code;
        std::string fields;
    };
    const Case cases[] = {
        {"CRLF line ends, sections right after the last line feed", ValidK4417F(crlf).Bytes(), kOk,
         "2.10.0|K4417F|1.0.0|1.0.6|Sample firmware for tests"},
        {"blanks around key and value; a leading blank hides the line",
         "#  ImageRev =  1.2  \t\r\n #ModelName=K4417F\n#\tUtilityRev\t=\t1.0.6\n" + start, kOk,
         "1.2|||1.0.6|"},
        {"keys are case-sensitive, lines without a value leave the field",
         "#ImageRev=1.0\n#imagerev=9.9\n#ImageRev\n#ImageRev=\n#ImageRev===\n#==\n#=   =x\n"
         "#Unknown=1\nplain text line\n\n" +
             start,
         kOk, "1.0||||"},
        {"values upper-cased except the description",
         "#ImageRev=1.0a\n#ModelName=k4417f\n#RevsNotSupport=abc\n#UtilityRev=1.0.6a\n"
         "#UpdatedDescription=Fixes the clock, äöü ok\n" +
             start,
         kOk, "1.0A|K4417F|ABC|1.0.6A|Fixes the clock, äöü ok"},
        {"a value stops at a second equals sign", "#UpdatedDescription==a=b=c\n" + start, kOk,
         "||||a"},
        {"a later line with the same key wins", "#ModelName=FIRST\n#ModelName=K4417F\n" + start,
         kOk, "|K4417F|||"},
        {"description loses trailing high bytes, keeps inner ones",
         "#UpdatedDescription=\xA0"
         "caf\xE9 ok\xE9\xFF\x80\n" +
             start,
         kOk, "||||caf\xE9 ok"},
        {"too long value stops at once, earlier fields kept",
         "#ModelName=K4417F\n#ImageRev=0123456789ABCDEF\n#UtilityRev=1.0\n" + start, 32,
         "|K4417F|||"},
        {"long description measured within its first 1022 bytes",
         description + std::string(3000, 'd') + "\n" + start, 32, "||||"},
        {"description of 511 then blanks up to byte 1022 and a tail",
         description + std::string(511, 'd') + std::string(1022 - 20 - 511, ' ') + "tail\n" + start,
         kOk, "||||" + std::string(511, 'd')},
        {"the 1023rd byte of a long line starts the next line",
         longLine + "#ModelName=K4417F\n" + start, kOk, "|K4417F|||"},
        {"a long line's 1023rd byte can be the FileStart", longLine + start, kOk, "||||"},
        {"a line of exactly 1022 bytes: its line feed reads as an empty line",
         "#ImageRev=1" + std::string(1011, ' ') + "\n#ModelName=M\n" + start, kOk, "1|M|||"},
        {"a last header line without line feed is still read", "#ModelName=K4417F", 23,
         "|K4417F|||"},
        {"no FileStart: truncated, fields read so far survive", "#ImageRev=1\n#ModelName=K4417F\n",
         23, "1|K4417F|||"},
        {"empty file", "", 23, "||||"},
        {"what follows FileStart is binary, even when it looks like a header line",
         start + "#ModelName=X\n", 23, "||||"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Parse(c.bytes), c.code);
        EXPECT_EQ(Fields(), c.fields);
    }
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
        EXPECT_EQ(ParseHeader(std::string("#") + c.key + "=" + fits + "v\n"), 32);
    }
}

// Where the sections begin and end: the code and how many nodes the list holds after.
TEST_F(FirmwareParser, SectionsMustFillTheFileExactly) {
    const std::string section = SectionBytes(TestSection{});
    // The writer's checksum starts at the length field (offset 8): a length-8 section (14
    // bytes, id 5, flag 1) is the shortest a file may hold.
    const std::string length8("\0\0\0\0\0\0\0\0\0\0\0\x08\x05\x01", 14);
    auto tooShort = [](char length) {
        std::string s(length + 6, '\0');
        s[11] = length;
        return s;
    };
    struct Case {
        const char* what;
        std::string bytes;
        int code;
        size_t sections;
    };
    const Case cases[] = {
        {"FileStart with a value", "#ImageRev=1\n#FileStart=anything=else\n" + section, kOk, 1},
        {"FileStart with blanks and CRLF", "#ImageRev=1\n# FileStart =\r\n" + section, kOk, 1},
        {"FileStart as a value", "#ImageRev=1\n#=FileStart\n" + section, kOk, 1},
        {"FileStart as last line", "#ImageRev=1\n#FileStart\n", kOk, 0},
        {"FileStart as last line without line feed", "#ImageRev=1\n#FileStart", kOk, 0},
        {"sections without FileStart", "#ImageRev=1\n" + section, 23, 0},
        {"last section one byte short", ValidK4417F().DropTail(1).Bytes(), 23, 6},
        {"one byte of trailing garbage is another section", ValidK4417F().Raw("\n").Bytes(), 23, 7},
        {"section ending inside its fixed fields", "#FileStart\n" + section.substr(0, 30), 23, 1},
        {"length 6: too short for the checksum", "#FileStart\n" + tooShort(6) + section, 23, 1},
        {"length 7: too short for the checksum", "#FileStart\n" + tooShort(7) + section, 23, 1},
        {"length 8 alone: its 20 fixed bytes do not fit", "#FileStart\n" + length8, 23, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Parse(c.bytes), c.code);
        EXPECT_EQ(SectionCount(), c.sections);
    }

    // Followed by another section, a length-8 one takes its id and flag from bytes 12 and
    // 13 (the first revision characters); the next starts at length + 6.
    ASSERT_EQ(Parse("#FileStart\n" + length8 + section), kOk);
    ASSERT_EQ(SectionCount(), 2u);
    EXPECT_EQ(Nth(0).length, 8u);
    EXPECT_EQ(Nth(0).id, 5);
    EXPECT_EQ(Nth(0).flag, 1);
    EXPECT_EQ(Nth(0).bytesRead, 14u);
    EXPECT_EQ(Nth(1).length, 32u);
}

// A 40-byte file must not make the parser ask for 4 GiB: the length is checked against
// the file before any buffer is allocated.
TEST_F(FirmwareParser, GiantLengthFieldIsRefusedBeforeAllocating) {
    for (uint32_t length : {0xFFFFFFFFu, 0xFFFFFFFAu, 0xFFFFFFF9u, 0x7FFFFFFFu, 0x00100000u}) {
        SCOPED_TRACE(length);
        TestSection s;
        s.lengthField = length;
        EXPECT_EQ(Parse(FirmwareBuilder().FileStart().AddSection(s).Bytes()), 23);
        ASSERT_EQ(SectionCount(), 1u);
        EXPECT_FALSE(Nth(0).data) << "no buffer was allocated";
    }
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
