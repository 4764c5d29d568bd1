// The instrument's writer as the program meets it: every protocol mistake the writer is
// meant to notice, sent by hand, and a flash that outlives the run in its file.

#include <gmock/gmock.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "update_fixture.h"

using ::testing::ElementsAre;

namespace {

// Guards of our own: the writer accepts any, as long as each kind stays the same.
const uint8_t kResetGuard[6] = {'W', 'R', 'I', 'T', 'E', 'R'};
const uint8_t kCommandGuard[6] = {0x5A, 0xA5, 0x00, 0xFF, 0x12, 0x34};

std::string Frame(uint8_t command, uint32_t count, const uint8_t* guard = nullptr) {
    if (!guard) guard = command == 0x0A ? kResetGuard : kCommandGuard;
    std::string f(12, '\0');
    f[0] = static_cast<char>(0xAB);
    for (int i = 0; i < 4; ++i) f[1 + i] = static_cast<char>(count >> (24 - 8 * i));
    f[5] = static_cast<char>(command);
    for (int i = 0; i < 6; ++i) f[6 + i] = static_cast<char>(guard[i]);
    return f;
}

std::string LengthPayload(uint32_t k) {
    std::string p = std::to_string(k);
    p.resize(12, '\0');
    return p;
}

class SimWriter : public UpdateFixture {
  protected:
    void SetUp() override { StartConnected(Bench("writer")); }
    // Writes `bytes`, then lets `pauseMs` pass.
    void Send(const std::string& bytes, uint32_t pauseMs = 0) {
        link().WriteDevice(bytes.data(), static_cast<uint32_t>(bytes.size()));
        clock.Advance(pauseMs);
    }
    void SendFrame(uint8_t command, uint32_t count) { Send(Frame(command, count), 10); }
    void Read() {
        char buffer[kReplyMax + 1];
        uint32_t count = 0;
        link().ReadDevice(buffer, kReplyMax, &count);
    }
    void StartLoad(uint32_t n) {
        SendFrame(0x0A, 7);
        Read();
        SendFrame(0x0C, 7 + n);
    }
    // Violations containing `text`.
    int ViolationsWith(const std::string& text) {
        int n = 0;
        for (const std::string& v : sim->violations()) n += v.find(text) != std::string::npos;
        return n;
    }
};

TEST_F(SimWriter, MalformedFramesAndGuardsAreRecordedAndIgnored) {
    std::string frame = Frame(0x0A, 7);
    frame[0] = 0x55;
    Send(frame);
    Send(Frame(0x0A, 7).substr(0, 11));
    Send(Frame(0x42, 7));
    Send(Frame(0x0D, 8));
    Send(Frame(0x14, 7));
    Send(Frame(0x07, 18));
    EXPECT_EQ(ViolationsWith("bad start byte 0x55"), 1);
    EXPECT_EQ(ViolationsWith("frame write of 11 bytes"), 1);
    EXPECT_EQ(ViolationsWith("unknown command 0x42"), 1);
    EXPECT_EQ(ViolationsWith("count 8 does not match the end-load frame"), 1);
    EXPECT_EQ(ViolationsWith("count 7 does not match the select-section frame"), 1);
    EXPECT_EQ(ViolationsWith("count 18 does not match the checksum-length frame"), 1);
    EXPECT_FALSE(instrument().HasReply());  // none of them was answered

    const uint8_t otherGuard[6] = {1, 2, 3, 4, 5, 6};
    const uint8_t binaryReset[6] = {'W', 'R', 0x01, 'T', 'E', 'R'};
    SendFrame(0x0A, 7);
    Read();
    Send(Frame(0x0C, 7, otherGuard), 10);  // first command guard: taken as the pattern
    Send(Frame(0x0D, 7, kCommandGuard), 10);
    Send(Frame(0x0A, 7, binaryReset));
    EXPECT_EQ(ViolationsWith("end-load frame carries a guard that differs"), 1);
    EXPECT_EQ(ViolationsWith("reset guard is not six printable ASCII characters"), 1);
}

TEST_F(SimWriter, PayloadsOfTheWrongSizeOrFormAreRecorded) {
    SendFrame(0x14, 8);
    Send("\x01\x02");
    Read();
    SendFrame(0x07, 19);
    Send(LengthPayload(100).substr(0, 11));
    Read();
    SendFrame(0x07, 19);
    Send(std::string("0100") + std::string(8, '\0'));  // leading zero
    Read();
    SendFrame(0x07, 19);
    Send(std::string("12 4") + std::string(8, '\0'));
    EXPECT_EQ(ViolationsWith("section id payload of 2 bytes (1 expected)"), 1);
    EXPECT_EQ(ViolationsWith("checksum length payload of 11 bytes (12 expected)"), 1);
    EXPECT_EQ(ViolationsWith("checksum length payload is not decimal digits"), 2);
}

TEST_F(SimWriter, DataBeyondTheBlockSizeOrTheLoadAndFramesOutOfOrderAreRecorded) {
    StartLoad(2000);
    Send(std::string(1500, 'x'), 25);
    Send(std::string(600, 'y'), 25);
    EXPECT_EQ(ViolationsWith("section data write of 1500 bytes (at most 1024)"), 1);
    EXPECT_EQ(ViolationsWith("goes 100 bytes beyond the announced 2000"), 1);

    StartLoad(100);
    Send(std::string(40, 'x'), 25);
    SendFrame(0x0D, 7);  // 60 bytes still missing
    Read();
    SendFrame(0x03, 7);  // flash write straight after the end of load
    SendFrame(0x0A, 7);
    SendFrame(0x0A, 7);
    EXPECT_EQ(ViolationsWith("end-load frame before all 100 section bytes arrived (40 received)"),
              1);
    EXPECT_EQ(ViolationsWith("flash-write frame out of order"), 1);
    EXPECT_GT(ViolationsWith("reset frame sent while the reply \"OK\" was still unread"), 0);
}

TEST_F(SimWriter, ShortPausesAfterFramesAndDataWritesAreRecorded) {
    Send(Frame(0x0A, 7), 9);
    Read();
    SendFrame(0x0C, 7 + 2048);
    Send(std::string(1024, 'a'), 24);
    Send(std::string(1024, 'b'), 25);
    Read();
    EXPECT_THAT(sim->violations(),
                ElementsAre("TW00012345: only 9 ms after the reset frame (10 ms needed)",
                            "TW00012345: only 24 ms after the section data write (25 ms needed)"));
}

TEST_F(SimWriter, FlashIsSavedAfterEveryWriteAndLoadedByTheNextRun) {
    const std::string path = ::testing::TempDir() + "sim_flash_test.bin";
    std::remove(path.c_str());
    SimScenario scenario = Bench("writer");
    scenario.instruments[0].flashFile = path;
    StartLoaded(scenario);
    PressUpdate();
    ASSERT_TRUE(Completed()) << window.Log();

    std::ifstream saved(path, std::ios::binary);
    const std::string flash((std::istreambuf_iterator<char>(saved)),
                            std::istreambuf_iterator<char>());
    ASSERT_EQ(flash.size(), 32u * 65536u);
    const std::string http = SectionBytes(firmware.Section(4));
    EXPECT_EQ(flash.substr(8 * 65536, http.size()), http);

    StartLoaded(scenario);  // a new run finds the same bytes already in flash
    PressUpdate();
    EXPECT_EQ(ReportedCode(), 19);
    std::remove(path.c_str());
}

}  // namespace
