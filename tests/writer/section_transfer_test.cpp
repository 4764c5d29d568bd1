// One section going into the instrument's flash, as the scripted writer and the operator's
// window see it: the exchange, the progress bar and the log.

#include "writer/section_transfer.h"

#include <numeric>

#include "firmware/firmware_info.h"
#include "firmware/model_catalogue.h"
#include "scripted_writer.h"
#include "ui/error_table.h"
#include "writer/writer_frame.h"

using Trace = std::vector<std::string>;

namespace {

const SectionSpec kMainRow = {1, 15, 65536, 0xF0000, 1, nullptr, "Main Program"};
const std::string kSuccessLog =
    "    Loading ... OK\r\n    Check Sum ... OK\r\n    Write to flash ... OK\r\n";

void PutWord(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
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

uint32_t ChecksumOf(const ImageSection& s) {
    const uint32_t k = s.flag ? s.length : s.word1;
    return ComputeChecksum(s.data.get() + 8, k - 8);
}

Trace Repeat(const Trace& part, int times) {
    Trace out;
    for (int i = 0; i < times; ++i) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Trace Join(std::initializer_list<Trace> parts) {
    Trace out;
    for (const Trace& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Everything after the section bytes, for a writer that accepts the section and
// ends the flash write with its first line.
const Trace kAfterBytes = {"read",     "frame 0D", "sleep 10", "read",     "frame 14", "sleep 10",
                           "write 1",  "read",     "frame 07", "sleep 10", "write 12", "read",
                           "frame 08", "sleep 10", "read",     "frame 15", "sleep 10", "read",
                           "frame 03", "sleep 10", "read"};

}  // namespace

// The sum runs several words at a time: every length and alignment must still end on the
// right word, counting the partial last word and nothing past it.
TEST_F(WriterProtocolTest, ChecksumSumsBigEndianWordsOverTheRangeRoundedUp) {
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

TEST_F(WriterProtocolTest, SectionOf64KiBGoesInSixtyFiveWritesAndTwoSectorSteps) {
    const ImageSection section = MakeSection(65536, 1);
    ScriptAcceptedSection(ChecksumOf(section));
    writer.Reply("OK");

    EXPECT_EQ(WriteSection(link, window, section, kMainRow), kOk);

    EXPECT_EQ(trace, Join({{"frame 0A", "sleep 10", "read", "frame 0C", "sleep 10"},
                           Repeat({"write 1024", "sleep 25"}, 64),
                           {"pump", "write 6", "sleep 25", "pump"},
                           kAfterBytes}));
    EXPECT_EQ(window.progress, (Trace{"pos 0", "step 1", "range 0 7", "stepit", "stepit"}));
    EXPECT_EQ(window.Log(), kSuccessLog);

    // The load frame announces every byte, and every byte goes, id and flag included.
    const auto frames = Frames();
    EXPECT_EQ(std::vector<uint8_t>(frames[1].begin() + 1, frames[1].begin() + 5),
              (std::vector<uint8_t>{0x00, 0x01, 0x00, 0x0D}));
    std::vector<uint8_t> sent;
    for (size_t i = 2; i < 2 + 65; ++i)
        sent.insert(sent.end(), writer.writes[i].begin(), writer.writes[i].end());
    EXPECT_EQ(sent, std::vector<uint8_t>(section.data.get(), section.data.get() + 65542));
    EXPECT_EQ(writer.writes[69], std::vector<uint8_t>{1});  // the selected id
    EXPECT_EQ(writer.writes[71], Bytes(std::string("65536") + std::string(7, '\0')));
}

TEST_F(WriterProtocolTest, SectionWithIdZeroLeavesOutItsLastEightBytes) {
    // 131080 bytes held, 131072 sent: two full sectors, a step after each.
    const ImageSection section = MakeSection(131074, 0);
    ScriptAcceptedSection(ChecksumOf(section));
    writer.Reply("OK");

    EXPECT_EQ(WriteSection(link, window, section, kMainRow), kOk);

    const Trace sector = Join({Repeat({"write 1024", "sleep 25"}, 64), {"pump"}});
    EXPECT_EQ(trace, Join({{"frame 0A", "sleep 10", "read", "frame 0C", "sleep 10"},
                           sector,
                           sector,
                           kAfterBytes}));
    EXPECT_EQ(window.progress, (Trace{"pos 0", "step 1", "range 0 7", "stepit", "stepit"}));
    EXPECT_EQ(writer.writes[129].back(), section.data.get()[131071]);
    EXPECT_EQ(writer.writes[132], std::vector<uint8_t>{0});
}

TEST_F(WriterProtocolTest, FlashProgressLinesStepTheBarAndChatterIsIgnored) {
    const ImageSection section = MakeSection(1000, 4);
    ScriptAcceptedSection(ChecksumOf(section));
    for (const char* line : {"ERAS:04", "", "HELLO", "ERAS", "PROG:04", "DATA IS THE LATEST UPD",
                             "ERASE N", "PROGRAM N", "O", "rtnng", "RTNOK", "OK\r\n"})
        writer.Reply(line);

    EXPECT_EQ(WriteSection(link, window, section, kMainRow), kOk);
    EXPECT_EQ(window.StepCount(), 1 + 4);  // one sector sent, four progress lines
    EXPECT_EQ(window.Log(), kSuccessLog);
    EXPECT_TRUE(writer.replies.empty());
}

TEST_F(WriterProtocolTest, FinalFlashLinesEndTheSectionWithTheirCodes) {
    struct Case {
        const char* line;
        int code;
    };
    for (const Case& c :
         {Case{"DATA IS THE LATEST UPDATE", kErrLatestUpdate},
          Case{"data is the latest upda", kErrLatestUpdate},
          Case{"DATA IS THE LATEST UPDAXXX", kErrLatestUpdate}, Case{"ERASE NG", kErrEraseNg},
          Case{"PROGRAM NG 0x20000", kErrProgramNg}}) {
        SCOPED_TRACE(c.line);
        trace.clear();
        window.texts.clear();
        const ImageSection section = MakeSection(64, 6);
        ScriptAcceptedSection(ChecksumOf(section));
        writer.Reply("PROG:1");
        writer.Reply(c.line);
        writer.Reply("OK");  // never read

        EXPECT_EQ(WriteSection(link, window, section, kMainRow), c.code);
        EXPECT_EQ(window.Log(),
                  "    Loading ... OK\r\n    Check Sum ... OK\r\n    Write to flash ... ");
        EXPECT_EQ(writer.replies.size(), 1u);
        writer.replies.clear();
    }
}

TEST_F(WriterProtocolTest, WriterThatChattersForEverIsGivenUpWithIoError) {
    const ImageSection section = MakeSection(64, 6);
    ScriptAcceptedSection(ChecksumOf(section));
    writer.endless = "BUSY";
    EXPECT_EQ(WriteSection(link, window, section, kMainRow), kErrIo);
    EXPECT_LT(writer.reads, 10000);
}

TEST_F(WriterProtocolTest, DamagedSectionIsRefusedBeforeAnythingIsSent) {
    struct Case {
        const char* what;
        ImageSection section;
    };
    std::vector<Case> cases;
    cases.push_back({"length below 8", MakeSection(4, 1)});
    cases.push_back({"checksum length 0 from word1", MakeSection(64, 1, 0)});
    {
        ImageSection s = MakeSection(64, 1, 0);
        s.word1 = 69;  // summed up to offset 71, past the 70 bytes held
        cases.push_back({"checksum range past the data", std::move(s)});
    }
    {
        ImageSection s = MakeSection(64, 1);
        s.bytesRead = 71;
        cases.push_back({"transfer past the data", std::move(s)});
    }
    {
        ImageSection s = MakeSection(64, 0);
        s.bytesRead = 7;
        cases.push_back({"id 0 with fewer than 8 bytes", std::move(s)});
    }
    {
        ImageSection s;
        s.length = 64;
        s.id = 1;
        s.flag = 1;
        s.bytesRead = 70;
        cases.push_back({"no data", std::move(s)});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(WriteSection(link, window, c.section, kMainRow), kErrFileTruncated);
    }
    EXPECT_TRUE(trace.empty());
    EXPECT_TRUE(window.progress.empty());
    EXPECT_EQ(window.Log(), "");
}

TEST_F(WriterProtocolTest, ChecksumRangeMayReachTheLastByteHeld) {
    // A length of 66 is summed up to offset 67; a flag-0 length of 71 up to the flag byte.
    ImageSection section = MakeSection(66, 1);
    ScriptAcceptedSection(ComputeChecksum(section.data.get() + 8, 58));
    writer.Reply("OK");
    EXPECT_EQ(WriteSection(link, window, section, kMainRow), kOk);

    ImageSection flagZero = MakeSection(66, 1, 0);
    flagZero.word1 = 71;
    ScriptAcceptedSection(ComputeChecksum(flagZero.data.get() + 8, 64));
    writer.Reply("OK");
    EXPECT_EQ(WriteSection(link, window, flagZero, kMainRow), kOk);
    EXPECT_EQ(writer.writes.back().size(), 12u);  // the flash write frame
}
