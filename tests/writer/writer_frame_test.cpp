// The writer's command frames as the instrument receives them, and the checksum the writer
// reports; how each command judges its answer is swept by the fault matrix.

#include "writer/writer_frame.h"

#include <algorithm>
#include <string>

#include "update_fixture.h"

namespace {

class WriterCommands : public UpdateFixture {
  protected:
    void Start(std::vector<SimFault> faults = {}) {
        StartConnected(Bench("writer", std::move(faults)));
    }
};

// The guards as the instrument knows them, not as the program names them.
const uint8_t kReset[6] = {'W', 'R', 'R', 'S', 'E', 'T'};
const uint8_t kCommand[6] = {0x5A, 0xA5, 0x00, 0xFF, 0xC3, 0x3C};

Bytes Frame(uint32_t count, uint8_t command, const uint8_t guard[6]) {
    Bytes frame(12);
    frame[0] = 0xAB;
    for (int i = 0; i < 4; ++i) frame[1 + i] = static_cast<uint8_t>(count >> (24 - 8 * i));
    frame[5] = command;
    std::copy(guard, guard + 6, frame.begin() + 6);
    return frame;
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

}  // namespace

// Each command's frame, the pause after it, its payload and its read. The writer in between
// sees them out of order but still answers each.
TEST_F(WriterCommands, CommandsSendTheirFramePauseThenPayloadAndRead) {
    Start();
    EXPECT_EQ(WriterReset(link()), kOk);
    EXPECT_EQ(WriterLoad(link(), 65542), kOk);  // announces the size, waits for no answer
    EXPECT_EQ(WriterSelectSection(link(), 0x1E), kOk);
    EXPECT_EQ(WriterChecksumLength(link(), 0), kOk);
    EXPECT_EQ(WriterChecksumLength(link(), 4294967295u), kOk);
    EXPECT_EQ(WriterFlashWrite(link()), kOk);  // leaves the progress lines unread

    const Trace payloadThenRead = {"frame 07", "sleep 10", "write 12", "read"};
    EXPECT_EQ(Calls(), Join({{"frame 0A", "sleep 10", "read", "frame 0C", "sleep 10", "frame 14",
                              "sleep 10", "write 1", "read"},
                             payloadThenRead,
                             payloadThenRead,
                             {"frame 03", "sleep 10"}}));
    EXPECT_EQ(Writes(), (std::vector<Bytes>{Frame(7, 0x0A, kReset),
                                            Frame(65549, 0x0C, kCommand),
                                            Frame(8, 0x14, kCommand),
                                            {0x1E},
                                            Frame(19, 0x07, kCommand),
                                            Text(std::string("0") + std::string(11, '\0')),
                                            Frame(19, 0x07, kCommand),
                                            Text(std::string("4294967295") + std::string(2, '\0')),
                                            Frame(7, 0x03, kCommand)}));
}

TEST_F(WriterCommands, ChecksumReplyIsReadAsDecimalModulo2To32) {
    struct Case {
        std::string reply;
        uint32_t value;
    };
    for (const Case& c :
         {Case{"4294967295", 0xFFFFFFFFu}, Case{"4294967296", 0u}, Case{"305419896", 0x12345678u},
          Case{" \t\r\n\v\f42", 42u}, Case{"+17\r\n", 17u}, Case{"-1", 0xFFFFFFFFu}, Case{"-0", 0u},
          Case{"123ABC", 123u}, Case{"ABC", 0u}, Case{"- 5", 0u}, Case{"+-5", 0u},
          Case{"99999999999999999999", 1661992959u}}) {
        SCOPED_TRACE(c.reply);
        Start({SimFault::AtCall("viRead", 1, "reply", c.reply)});
        uint32_t checksum = 0xDEADBEEF;
        EXPECT_EQ(WriterQueryChecksum(link(), &checksum), kOk);
        EXPECT_EQ(checksum, c.value);
    }
}

TEST_F(WriterCommands, ChecksumOutputIsKeptWhenThereIsNoChecksum) {
    Start({SimFault::AtCall("viRead", 1, "reply", ""), SimFault::AtCall("viRead", 2, "timeout"),
           SimFault::AtCall("viWrite", 3, "fail")});
    uint32_t checksum = 0xDEADBEEF;
    EXPECT_EQ(WriterQueryChecksum(link(), &checksum), 14);
    EXPECT_EQ(WriterQueryChecksum(link(), &checksum), 4);  // silence
    EXPECT_EQ(WriterQueryChecksum(link(), &checksum), 4);  // frame not written
    EXPECT_EQ(checksum, 0xDEADBEEFu);
}
