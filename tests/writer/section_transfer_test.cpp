// Sections going into the instrument's flash, as the writer and the operator's window see
// them: the exchange, the pauses, the progress bar, the log, and what ends up in flash.

#include "writer/section_transfer.h"

#include <algorithm>

#include "firmware/firmware_info.h"
#include "firmware/firmware_parser.h"
#include "firmware/memory_stream.h"
#include "firmware/model_catalogue.h"
#include "firmware_builder.h"
#include "update_fixture.h"

namespace {

class SectionTransfer : public UpdateFixture {
  protected:
    void Start(std::vector<SimFault> faults = {}, int progressLines = -1) {
        SimScenario scenario = Bench("writer", std::move(faults));
        scenario.progressLines = progressLines;
        StartConnected(std::move(scenario));
    }
};

const SectionSpec kMainRow = {1, 15, 65536, 0xF0000, 1, nullptr, "Main Program"};
const std::string kLoaded = "    Loading ... OK\r\n";
const std::string kSummed = kLoaded + "    Check Sum ... OK\r\n";
const std::string kSuccessLog = kSummed + "    Write to flash ... OK\r\n";

void PutWord(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// A section as the parser leaves it: length + 6 bytes, fields mirrored in the record.
ImageSection MakeSection(uint32_t length, uint8_t id, uint8_t flag = 1) {
    ImageSection s;
    s.length = length;
    s.id = id;
    s.flag = flag;
    s.bytesRead = length + 6;
    s.data = AllocateZeroed(s.bytesRead);
    for (uint32_t i = 0; i < s.bytesRead; ++i) s.data.get()[i] = static_cast<uint8_t>(i * 7 + 1);
    if (s.bytesRead >= 12) PutWord(s.data.get() + 8, length);  // a tiny section has no room
    s.data.get()[length + 4] = id;
    s.data.get()[length + 5] = flag;
    return s;
}

const Trace kBeforeBytes = {"frame 0A", "sleep 10", "read", "frame 0C", "sleep 10"};
// From the writer's verdict on the bytes to the flash write frame.
const Trace kAfterBytes = {"read",     "frame 0D", "sleep 10", "read",     "frame 14",
                           "sleep 10", "write 1",  "read",     "frame 07", "sleep 10",
                           "write 12", "read",     "frame 08", "sleep 10", "read",
                           "frame 15", "sleep 10", "read",     "frame 03", "sleep 10"};
// One erase and one program line per sector, each stepping the bar, then "OK".
Trace FlashLines(int sectors) {
    return Join({Repeat({"read", "pump"}, 2 * sectors), {"read"}});
}

}  // namespace

// The sum runs several words at a time: every length and alignment must still end on the
// right word, counting the partial last word and nothing past it.
TEST(ComputeChecksum, SumsBigEndianWordsOverTheRangeRoundedUp) {
    const uint8_t fiveThenMore[] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(ComputeChecksum(fiveThenMore, 5), 0x06080A0Cu);
    const uint8_t wraps[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x02};
    EXPECT_EQ(ComputeChecksum(wraps, 8), 1u);
    EXPECT_EQ(ComputeChecksum(nullptr, 0), 0u);  // reads nothing at all

    uint8_t bytes[64 + 3 + 4];
    for (size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<uint8_t>(0xF1 - i * 13);
    for (uint32_t start = 0; start < 4; ++start) {
        for (uint32_t n = 0; n <= 64; ++n) {
            uint32_t expected = 0;
            for (uint32_t at = start; at < start + ((n + 3) & ~3u); ++at)
                expected += uint32_t{bytes[at]} << (24 - 8 * ((at - start) % 4));
            EXPECT_EQ(ComputeChecksum(bytes + start, n), expected)
                << "start " << start << " n " << n;
        }
    }
}

TEST_F(SectionTransfer, SectionOf64KiBGoesInSixtyFiveWritesAndTwoSectorSteps) {
    Start();
    const ImageSection section = MakeSection(65536, 1);
    EXPECT_EQ(WriteSection(link(), core->events(), section, kMainRow), kOk);

    EXPECT_EQ(Calls(), Join({kBeforeBytes,
                             Repeat({"write 1024", "sleep 25"}, 64),
                             {"pump", "write 6", "sleep 25", "pump"},
                             kAfterBytes,
                             FlashLines(2)}));
    EXPECT_EQ(window.progress, Join({{"pos 0", "step 1", "range 0 7"}, Repeat({"stepit"}, 6)}));
    EXPECT_EQ(window.Log(), kSuccessLog);
    EXPECT_EQ(sim->violations(), Trace{});

    // The load frame announces every byte, and every byte goes, id and flag included.
    const auto writes = Writes();
    EXPECT_EQ(Bytes(writes[1].begin() + 1, writes[1].begin() + 5), (Bytes{0x00, 0x01, 0x00, 0x0D}));
    EXPECT_TRUE(FlashHolds(65536, section.data.get(), 65542));
    EXPECT_EQ(writes[69], Bytes{1});  // the selected id
    const std::string length = std::string("65536") + std::string(7, '\0');
    EXPECT_EQ(writes[71], Bytes(length.begin(), length.end()));
}

TEST_F(SectionTransfer, SectionWithIdZeroLeavesOutItsLastEightBytes) {
    // 131080 bytes held, 131072 sent: two full sectors, a step after each.
    Start();
    ImageSection section = MakeSection(131074, 0);
    // The sum reaches four bytes past those sent; zero there, the writer's sum agrees.
    std::fill_n(section.data.get() + 131072, 4, 0);
    EXPECT_EQ(WriteSection(link(), core->events(), section, kMainRow), kOk);

    const Trace sector = Join({Repeat({"write 1024", "sleep 25"}, 64), {"pump"}});
    EXPECT_EQ(Calls(), Join({kBeforeBytes, sector, sector, kAfterBytes, FlashLines(2)}));
    EXPECT_EQ(window.progress, Join({{"pos 0", "step 1", "range 0 7"}, Repeat({"stepit"}, 6)}));
    EXPECT_TRUE(FlashHolds(0, section.data.get(), 131072));
    EXPECT_EQ(Writes()[132], Bytes{0});
    EXPECT_EQ(sim->violations(), Trace{});
}

TEST_F(SectionTransfer, FlashProgressLinesStepTheBarAndChatterIsIgnored) {
    // Seven reads before the flash write; the writer's eleven progress lines are replaced.
    std::vector<SimFault> faults = {SimFault::AtStep(1, "final", "OK\r\n")};
    int nth = 8;
    for (const char* line : {"ERAS:04", "", "HELLO", "ERAS", "PROG:04", "DATA IS THE LATEST UPD",
                             "ERASE N", "PROGRAM N", "O", "rtnng", "RTNOK"})
        faults.push_back(SimFault::AtCall("viRead", nth++, "reply", line));
    Start(faults, 11);

    EXPECT_EQ(WriteSection(link(), core->events(), MakeSection(1000, 4), kMainRow), kOk);
    EXPECT_EQ(window.StepCount(), 1 + 4);  // one sector sent, four progress lines
    EXPECT_EQ(window.Log(), kSuccessLog);
    EXPECT_EQ(sim->callsOf("viRead").size(), 19u);  // up to the final line, no further
}

TEST_F(SectionTransfer, WriterThatChattersForEverIsGivenUp) {
    std::vector<SimFault> faults;
    for (int nth = 8; nth < 3000; ++nth)
        faults.push_back(SimFault::AtCall("viRead", nth, "reply", "BUSY"));
    Start(faults);
    EXPECT_EQ(WriteSection(link(), core->events(), MakeSection(250, 6), kMainRow), 4);
    EXPECT_EQ(sim->calls().back().status, VI_SUCCESS);  // it stopped while the writer talked
    // Seven reads before the flash write, then 1024 lines and one per 256 bytes sent.
    EXPECT_EQ(sim->callsOf("viRead").size(), 7u + 1024 + 1);
}

TEST_F(SectionTransfer, DamagedSectionIsRefusedBeforeAnythingIsSent) {
    struct Case {
        const char* what;
        ImageSection section;
    };
    std::vector<Case> cases;
    cases.push_back({"length below 8", MakeSection(4, 1)});
    cases.push_back({"checksum length 0 from word1", MakeSection(64, 1, 0)});
    cases.push_back({"checksum range past the data", MakeSection(64, 1, 0)});
    cases.back().section.word1 = 69;  // summed up to offset 71, past the 70 bytes held
    cases.push_back({"transfer past the data", MakeSection(64, 1)});
    cases.back().section.bytesRead = 71;
    cases.push_back({"id 0 with fewer than 8 bytes", MakeSection(64, 0)});
    cases.back().section.bytesRead = 7;
    cases.push_back({"no data", MakeSection(64, 1)});
    cases.back().section.data = HeapBuffer();
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(WriteSection(link(), core->events(), c.section, kMainRow), 23);
    }
    EXPECT_EQ(Calls(), Trace{});
    EXPECT_TRUE(window.progress.empty());
    EXPECT_EQ(window.Log(), "");
}

TEST_F(SectionTransfer, ChecksumRangeMayReachTheLastByteHeld) {
    // A length of 66 is summed up to offset 67; a flag-0 length of 71 up to the flag byte.
    Start();
    EXPECT_EQ(WriteSection(link(), core->events(), MakeSection(66, 1), kMainRow), kOk);
    ImageSection flagZero = MakeSection(66, 1, 0);
    flagZero.word1 = 71;
    EXPECT_EQ(WriteSection(link(), core->events(), flagZero, kMainRow), kOk);
    EXPECT_EQ(sim->violations(), Trace{});
}

TEST_F(SectionTransfer, WholeFileLeavesEverySectionInFlashAndASecondWriteIsAlreadyTheLatest) {
    Start();
    // The main program spans two sectors.
    const std::string bytes = ValidK4417F({0x100, 16, 16, 65520, 16, 16}).Bytes();
    MemoryStream stream(bytes);
    FirmwareInfo info;
    ASSERT_EQ(ParseFirmwareFile(stream, info), kOk);
    std::vector<const ImageSection*> sections;
    for (const ImageSection* s = info.sections; s; s = s->next) sections.push_back(s);
    auto write = [&](size_t i) {
        return WriteSection(link(), core->events(), *sections[i], ModelCatalogue[0].sections[i]);
    };
    ASSERT_EQ(sections.size(), 6u);
    for (size_t i = 0; i < sections.size(); ++i) {
        SCOPED_TRACE(i);
        window.texts.clear();
        window.progress.clear();
        ASSERT_EQ(write(i), kOk);
        EXPECT_EQ(window.Log(), kSuccessLog);
        const ImageSection& s = *sections[i];
        EXPECT_TRUE(FlashHolds(s.id * kSimSectorSize, s.data.get(), s.bytesRead));
    }
    // The last section: one sector sent, then one erase and one program line.
    EXPECT_EQ(window.progress, Join({{"pos 0", "step 1", "range 0 4"}, Repeat({"stepit"}, 3)}));
    EXPECT_EQ(sim->instrument(0).sectionsBegun(), 6);
    EXPECT_EQ(clock.NowMs(), window.TotalSleepMs());  // no read ever waited for a timeout

    window.texts.clear();
    EXPECT_EQ(write(0), 19);
    EXPECT_EQ(window.Log(), kSummed + "    Write to flash ... ");
    EXPECT_EQ(sim->violations(), Trace{});
}

// What the log shows when the writer refuses a step; the codes of every refusal are swept
// by the fault matrix.
TEST_F(SectionTransfer, WriterRefusalAtEachStepLeavesItsLogAndNothingFollows) {
    const std::string flashing = kSummed + "    Write to flash ... ";
    struct Case {
        const char* step;
        const char* text;
        int code;
        std::string log;
    };
    const Case cases[] = {
        {"reset", "NG", 6, ""},
        {"end_load_data", "NG", 11, "    Loading ... "},
        {"select", "NG", 12, kLoaded},
        {"checksum_length", "NG", 13, kLoaded},
        {"checksum", "", 14, kLoaded + "    Check Sum ... "},
        {"checksum", "12345", 1, kLoaded + "    Check Sum ... Check Sum Error"},
        {"flash_check", "OK ", 15, kSummed},
        {"final", "ERASE NG", 17, flashing},
    };
    const ImageSection section = MakeSection(1000, 4);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.step) + " answered " + c.text);
        Start({SimFault::AtStep(1, c.step, c.text)});
        EXPECT_EQ(WriteSection(link(), core->events(), section, kMainRow), c.code);
        EXPECT_EQ(window.Log(), c.log);
        EXPECT_EQ(sim->calls().back().op, "viRead");  // no frame after a refusal
        EXPECT_FALSE(FlashHolds(4 * kSimSectorSize, section.data.get(), section.bytesRead));
        EXPECT_EQ(sim->violations(), Trace{});
    }
}
