// The instrument's writer as the program meets it: a section loaded, checked and flashed
// by hand-built frames, and every protocol mistake the writer is meant to notice.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "program_side.h"
#include "sim_instrument.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class SimWriterTest : public ::testing::Test {
  protected:
    SimWriterTest() : program(Scenario()) { program.Open(); }

    static SimScenario Scenario() {
        SimScenario s = SimScenario::SingleInstrument("writer");
        s.timingChecks = true;
        return s;
    }
    SimInstrument& instrument() { return program.visa.instrument(0); }
    std::vector<uint8_t> FlashAt(uint8_t sector, size_t n) {
        return instrument().flash().Read(sector * 0x10000u, static_cast<uint32_t>(n));
    }
    static std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }
    // Violations containing `text`.
    int ViolationsWith(const std::string& text) {
        int n = 0;
        for (const std::string& v : program.visa.violations())
            n += v.find(text) != std::string::npos;
        return n;
    }
    // Loads `section`, sets checksum length `k` and asks for the checksum.
    std::string QueryChecksum(const std::string& section, uint32_t k) {
        StartLoad(static_cast<uint32_t>(section.size()));
        program.Write(section);
        program.clock.Advance(25);
        program.Read();
        program.SendFrame(0x0D, 7);
        program.Read();
        program.SendFrame(0x14, 8);
        program.Write("\x02");
        program.Read();
        program.SendFrame(0x07, 19);
        program.Write(LengthPayload(k));
        program.Read();
        program.SendFrame(0x08, 7);
        return program.Read();
    }
    void StartLoad(uint32_t n) {
        program.SendFrame(0x0A, 7);
        program.Read();
        program.SendFrame(0x0C, 7 + n);
    }

    ProgramSide program;
};

TEST_F(SimWriterTest, SectionsWrittenByTheBookLandAtTheirSectorsWithoutViolations) {
    // Two sectors and a bit, then a second small section elsewhere.
    std::string big = TestSectionBytes(14, "2.31", 2 * 65536 + 100);
    std::string small = TestSectionBytes(1, "7ABC", 40);

    std::vector<std::string> replies = program.WriteSection(big, 14);
    replies[5] = replies[5].find_first_not_of("0123456789") == std::string::npos ? "<sum>" : "";
    EXPECT_THAT(replies, ElementsAre("OK", "OK", "OK", "OK", "OK", "<sum>", "OK", "ERAS:14",
                                     "ERAS:15", "ERAS:16", "PROG:14", "PROG:15", "PROG:16", "OK"));
    EXPECT_THAT(program.WriteSection(small, 1).back(), "OK");

    EXPECT_EQ(FlashAt(14, big.size()), Bytes(big));
    EXPECT_EQ(FlashAt(1, small.size()), Bytes(small));
    EXPECT_EQ(FlashAt(1, small.size() + 1).back(), 0xFF);  // the rest of the sector is erased
    EXPECT_THAT(program.visa.violations(), IsEmpty());
    EXPECT_EQ(instrument().sectionsBegun(), 2);
}

TEST_F(SimWriterTest, ReflashingTheSameBytesIsAnsweredAsAlreadyLatest) {
    std::string section = TestSectionBytes(4, "AB", 100);
    program.WriteSection(section, 4);
    std::vector<std::string> again = program.WriteSection(section, 4);
    EXPECT_EQ(again.back(), "DATA IS THE LATEST UPDATE");
    EXPECT_EQ(again.size(), 8u);  // no progress lines before it
}

TEST_F(SimWriterTest, IdentificationInWriterModeReportsWhatWasFlashed) {
    EXPECT_THAT(program.Ask("*IDN?\n"), HasSubstr("WRITER,K4417F,TW00000001,0100.."));
    program.WriteSection(TestSectionBytes(14, "9876", 64), 14);
    program.WriteSection(TestSectionBytes(6, "XY", 64), 6);
    std::string reply = program.Ask("*IDN?\n");
    std::string field = reply.substr(reply.rfind(',') + 1);
    EXPECT_EQ(field.substr(0, 4), "9876");
    EXPECT_EQ(field.substr(15, 2), "XY");
    EXPECT_EQ(field.substr(9, 2), "01");  // FPGA code 1 untouched: the scenario's revision
    EXPECT_EQ(reply.back(), '\n');
}

TEST_F(SimWriterTest, ChecksumCoversTheLengthFieldOnwardInWholeWordsModulo2To32) {
    // 5 bytes from offset 8: 01 02 03 04 05, and 06 07 08 complete the last word.
    EXPECT_EQ(QueryChecksum(std::string(8, '\0') + "\x01\x02\x03\x04\x05\x06\x07\x08", 13),
              std::to_string(0x06080A0Cu));
    EXPECT_EQ(
        QueryChecksum(std::string(8, '\0') + "\xFF\xFF\xFF\xFF" + std::string("\0\0\0\x02", 4), 16),
        "1");
}

TEST_F(SimWriterTest, MalformedFramesAreRecordedAndIgnored) {
    std::string frame = Frame(0x0A, 7);
    frame[0] = 0x55;
    program.Write(frame);
    program.Write(Frame(0x0A, 7).substr(0, 11));
    program.Write(Frame(0x42, 7));
    program.Write(Frame(0x0D, 8));
    program.Write(Frame(0x14, 7));
    program.Write(Frame(0x07, 18));
    EXPECT_EQ(ViolationsWith("bad start byte 0x55"), 1);
    EXPECT_EQ(ViolationsWith("frame write of 11 bytes"), 1);
    EXPECT_EQ(ViolationsWith("unknown command 0x42"), 1);
    EXPECT_EQ(ViolationsWith("count 8 does not match the end-load frame"), 1);
    EXPECT_EQ(ViolationsWith("count 7 does not match the select-section frame"), 1);
    EXPECT_EQ(ViolationsWith("count 18 does not match the checksum-length frame"), 1);
    EXPECT_FALSE(instrument().HasReply());  // none of them was answered
}

TEST_F(SimWriterTest, GuardsMustStayTheSameAndTheResetGuardPrintable) {
    const uint8_t otherGuard[6] = {1, 2, 3, 4, 5, 6};
    const uint8_t binaryReset[6] = {'W', 'R', 0x01, 'T', 'E', 'R'};
    program.Write(Frame(0x0A, 7));
    program.clock.Advance(10);
    program.Read();
    program.Write(Frame(0x0C, 7, otherGuard));  // first command guard: taken as the pattern
    program.clock.Advance(10);
    program.Write(Frame(0x0D, 7, kTestCommandGuard));
    program.clock.Advance(10);
    program.Write(Frame(0x0A, 7, binaryReset));
    EXPECT_EQ(ViolationsWith("end-load frame carries a guard that differs"), 1);
    EXPECT_EQ(ViolationsWith("reset guard is not six printable ASCII characters"), 1);
}

TEST_F(SimWriterTest, PayloadsOfTheWrongSizeOrFormAreRecorded) {
    program.SendFrame(0x14, 8);
    program.Write("\x01\x02");
    program.Read();
    program.SendFrame(0x07, 19);
    program.Write(LengthPayload(100).substr(0, 11));
    program.Read();
    program.SendFrame(0x07, 19);
    program.Write(std::string("0100") + std::string(8, '\0'));  // leading zero
    program.Read();
    program.SendFrame(0x07, 19);
    program.Write(std::string("12 4") + std::string(8, '\0'));
    EXPECT_EQ(ViolationsWith("section id payload of 2 bytes (1 expected)"), 1);
    EXPECT_EQ(ViolationsWith("checksum length payload of 11 bytes (12 expected)"), 1);
    EXPECT_EQ(ViolationsWith("checksum length payload is not decimal digits"), 2);
}

TEST_F(SimWriterTest, DataWritesOverTheBlockSizeOrBeyondTheLoadAreRecorded) {
    StartLoad(2000);
    program.Write(std::string(1500, 'x'));
    program.clock.Advance(25);
    program.Write(std::string(600, 'y'));
    EXPECT_EQ(ViolationsWith("section data write of 1500 bytes (at most 1024)"), 1);
    EXPECT_EQ(ViolationsWith("goes 100 bytes beyond the announced 2000"), 1);
}

TEST_F(SimWriterTest, FramesOutOfOrderAreRecorded) {
    StartLoad(100);
    program.Write(std::string(40, 'x'));
    program.clock.Advance(25);
    program.SendFrame(0x0D, 7);  // 60 bytes still missing
    program.Read();
    program.SendFrame(0x03, 7);  // flash write straight after the end of load
    EXPECT_EQ(ViolationsWith("end-load frame before all 100 section bytes arrived (40 received)"),
              1);
    EXPECT_EQ(ViolationsWith("flash-write frame out of order"), 1);
}

TEST_F(SimWriterTest, AFrameWhileAReplyIsUnreadIsRecorded) {
    program.SendFrame(0x0A, 7);
    program.SendFrame(0x0A, 7);
    EXPECT_EQ(ViolationsWith("reset frame sent while the reply \"OK\" was still unread"), 1);
}

TEST_F(SimWriterTest, ShortPausesAfterFramesAndDataWritesAreRecorded) {
    program.Write(Frame(0x0A, 7));
    program.clock.Advance(9);
    program.Read();
    program.SendFrame(0x0C, 7 + 2048);
    program.Write(std::string(1024, 'a'));
    program.clock.Advance(24);
    program.Write(std::string(1024, 'b'));
    program.clock.Advance(25);
    program.Read();
    EXPECT_THAT(program.visa.violations(),
                ElementsAre("TW00000001: only 9 ms after the reset frame (10 ms needed)",
                            "TW00000001: only 24 ms after the section data write (25 ms needed)"));
}

TEST(SimWriterTimingOff, ShortPausesPassWhenTimingChecksAreOff) {
    ProgramSide program(SimScenario::SingleInstrument("writer"));
    program.Open();
    program.Write(Frame(0x0A, 7));
    program.Read();
    EXPECT_THAT(program.visa.violations(), IsEmpty());
}

TEST(SimWriterFlashFile, FlashIsSavedAfterEveryWriteAndLoadedByTheNextRun) {
    std::string path = ::testing::TempDir() + "sim_flash_test.bin";
    std::remove(path.c_str());
    SimScenario scenario = SimScenario::SingleInstrument("writer");
    scenario.instruments[0].flashFile = path;
    std::string section = TestSectionBytes(8, "HTTP", 300);
    {
        ProgramSide first(scenario);
        first.Open();
        first.WriteSection(section, 8);
    }
    std::ifstream saved(path, std::ios::binary);
    std::string file((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    ASSERT_EQ(file.size(), 32u * 65536u);
    EXPECT_EQ(file.substr(8 * 65536, section.size()), section);

    ProgramSide second(scenario);
    second.Open();
    EXPECT_EQ(second.WriteSection(section, 8).back(), "DATA IS THE LATEST UPDATE");
    std::remove(path.c_str());
}
