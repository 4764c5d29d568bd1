// The writer's command frames as the instrument receives them, and how each command judges
// the writer's answers.

#include "writer/writer_frame.h"

#include <functional>

#include "scripted_writer.h"
#include "ui/error_table.h"

using Trace = std::vector<std::string>;

std::vector<uint8_t> Frame(std::vector<uint8_t> head, const uint8_t guard[6]) {
    head.insert(head.end(), guard, guard + 6);
    return head;
}

TEST_F(WriterProtocolTest, ResetSendsTheTextGuardPausesThenReadsTheAnswer) {
    writer.Reply("OK");
    EXPECT_EQ(WriterReset(link, window), kOk);
    EXPECT_EQ(trace, (Trace{"frame 0A", "sleep 10", "read"}));
    ASSERT_EQ(writer.writes.size(), 1u);
    EXPECT_EQ(writer.writes[0], Frame({0xAB, 0x00, 0x00, 0x00, 0x07, 0x0A}, WGUARD_RESET));
}

TEST_F(WriterProtocolTest, LoadAnnouncesTheSectionSizeAndWaitsForNoAnswer) {
    EXPECT_EQ(WriterLoad(link, window, 65542), kOk);
    EXPECT_EQ(trace, (Trace{"frame 0C", "sleep 10"}));
    EXPECT_EQ(writer.writes[0], Frame({0xAB, 0x00, 0x01, 0x00, 0x0D, 0x0C}, WGUARD_COMMAND));
    EXPECT_EQ(writer.reads, 0);
}

TEST_F(WriterProtocolTest, SelectSectionSendsTheIdRightAfterThePause) {
    writer.Reply("OK");
    EXPECT_EQ(WriterSelectSection(link, window, 0x1E), kOk);
    EXPECT_EQ(trace, (Trace{"frame 14", "sleep 10", "write 1", "read"}));
    EXPECT_EQ(writer.writes[0], Frame({0xAB, 0x00, 0x00, 0x00, 0x08, 0x14}, WGUARD_COMMAND));
    EXPECT_EQ(writer.writes[1], std::vector<uint8_t>{0x1E});
}

TEST_F(WriterProtocolTest, ChecksumLengthGoesAsZeroFilledDecimalText) {
    const std::vector<uint8_t> head = {0xAB, 0x00, 0x00, 0x00, 0x13, 0x07};
    struct Case {
        uint32_t length;
        std::string payload;
    };
    for (const Case& c : {Case{0, std::string("0") + std::string(11, '\0')},
                          Case{65536, std::string("65536") + std::string(7, '\0')},
                          Case{4294967295u, std::string("4294967295") + std::string(2, '\0')}}) {
        SCOPED_TRACE(c.length);
        trace.clear();
        writer.writes.clear();
        writer.Reply("OK");
        EXPECT_EQ(WriterChecksumLength(link, window, c.length), kOk);
        EXPECT_EQ(trace, (Trace{"frame 07", "sleep 10", "write 12", "read"}));
        EXPECT_EQ(writer.writes[0], Frame(head, WGUARD_COMMAND));
        EXPECT_EQ(writer.writes[1], Bytes(c.payload));
    }
}

TEST_F(WriterProtocolTest, ResetJudgesTheAnswerByItsTextAlone) {
    struct Case {
        ScriptedReply reply;
        int code;
    };
    for (const Case& c :
         {Case{{VI_SUCCESS, "OK"}, kOk}, Case{{VI_SUCCESS, "ok"}, kOk},
          Case{{VI_SUCCESS, std::string("OK\0XY", 5)}, kOk},
          Case{{VI_SUCCESS, "OKAY"}, kErrResetReply}, Case{{VI_SUCCESS, "OK\r\n"}, kErrResetReply},
          Case{{VI_SUCCESS, "NG"}, kErrResetReply}, Case{{VI_SUCCESS, ""}, kErrResetReply},
          Case{{VI_SUCCESS_MAX_CNT, "OK"}, kErrIo}, Case{{VI_ERROR_TMO, ""}, kErrIo}}) {
        SCOPED_TRACE(c.reply.text);
        writer.replies = {c.reply};
        EXPECT_EQ(WriterReset(link, window), c.code);
    }
}

TEST_F(WriterProtocolTest, OtherCommandsAcceptExactlyTheTwoBytesOk) {
    struct Command {
        const char* name;
        std::function<int()> run;
        int badReply;
    };
    const Command commands[] = {
        {"select", [&] { return WriterSelectSection(link, window, 1); }, kErrSelectReply},
        {"checksum length", [&] { return WriterChecksumLength(link, window, 100); },
         kErrChecksumLengthReply},
        {"flash check", [&] { return WriterFlashCheck(link, window); }, kErrFlashCheckReply},
    };
    struct Answer {
        ScriptedReply reply;
        bool accepted;
    };
    const Answer answers[] = {{{VI_SUCCESS, "OK"}, true},   {{VI_SUCCESS, "ok"}, true},
                              {{VI_SUCCESS, "OK!"}, false}, {{VI_SUCCESS, "OK\r\n"}, false},
                              {{VI_SUCCESS, "NG"}, false},  {{VI_SUCCESS, "O"}, false}};
    for (const Command& command : commands) {
        for (const Answer& answer : answers) {
            SCOPED_TRACE(std::string(command.name) + " answered " + answer.reply.text);
            writer.replies = {answer.reply};
            EXPECT_EQ(command.run(), answer.accepted ? kOk : command.badReply);
        }
        writer.replies.clear();  // silence
        EXPECT_EQ(command.run(), kErrIo) << command.name;
    }
}

TEST_F(WriterProtocolTest, EndLoadSendsItsFrameOnlyAfterTheLoadedBytesWereAccepted) {
    writer.Reply("OK");
    writer.Reply("OK");
    EXPECT_EQ(WriterEndLoad(link, window), kOk);
    EXPECT_EQ(trace, (Trace{"read", "frame 0D", "sleep 10", "read"}));
    EXPECT_EQ(Frames()[0], Frame({0xAB, 0x00, 0x00, 0x00, 0x07, 0x0D}, WGUARD_COMMAND));

    trace.clear();
    writer.Reply("NG");
    EXPECT_EQ(WriterEndLoad(link, window), kErrEndLoadReply);
    EXPECT_EQ(trace, (Trace{"read"}));

    trace.clear();
    writer.Reply("OK\r\n");
    EXPECT_EQ(WriterEndLoad(link, window), kErrEndLoadReply);
    EXPECT_EQ(trace, (Trace{"read"}));

    trace.clear();  // the writer says nothing about the loaded bytes
    EXPECT_EQ(WriterEndLoad(link, window), kErrIo);
    EXPECT_EQ(trace, (Trace{"read failed"}));

    trace.clear();
    writer.Reply("OK");
    writer.Reply("NO");
    EXPECT_EQ(WriterEndLoad(link, window), kErrEndLoadReply);
    EXPECT_EQ(trace, (Trace{"read", "frame 0D", "sleep 10", "read"}));
}

TEST_F(WriterProtocolTest, ChecksumReplyIsReadAsDecimalModulo2To32) {
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
        trace.clear();
        writer.Reply(c.reply);
        uint32_t checksum = 0xDEADBEEF;
        EXPECT_EQ(WriterQueryChecksum(link, window, &checksum), kOk);
        EXPECT_EQ(checksum, c.value);
        EXPECT_EQ(trace, (Trace{"frame 08", "sleep 10", "read"}));
    }
}

TEST_F(WriterProtocolTest, ChecksumOutputIsKeptWhenThereIsNoChecksum) {
    uint32_t checksum = 0xDEADBEEF;
    writer.Reply("");
    EXPECT_EQ(WriterQueryChecksum(link, window, &checksum), kErrChecksumEmpty);
    EXPECT_EQ(checksum, 0xDEADBEEFu);
    EXPECT_EQ(WriterQueryChecksum(link, window, &checksum), kErrIo);  // silence
    EXPECT_EQ(checksum, 0xDEADBEEFu);
    writer.failWrite = 3;
    EXPECT_EQ(WriterQueryChecksum(link, window, &checksum), kErrIo);
    EXPECT_EQ(checksum, 0xDEADBEEFu);
}

TEST_F(WriterProtocolTest, FailedFrameWriteEndsTheCommandWithoutPausePayloadOrRead) {
    uint32_t checksum = 0;
    const std::function<int()> commands[] = {
        [&] { return WriterReset(link, window); },
        [&] { return WriterLoad(link, window, 1024); },
        [&] { return WriterSelectSection(link, window, 1); },
        [&] { return WriterChecksumLength(link, window, 1024); },
        [&] { return WriterQueryChecksum(link, window, &checksum); },
        [&] { return WriterFlashCheck(link, window); },
        [&] { return WriterFlashWrite(link, window); },
    };
    int writes = 0;
    for (const auto& command : commands) {
        trace.clear();
        writer.Reply("OK");
        writer.failWrite = ++writes;  // each command's first write
        EXPECT_EQ(command(), kErrIo) << writes;
        EXPECT_EQ(trace, (Trace{"write failed"})) << writes;
        EXPECT_TRUE(window.sleeps.empty());
        writer.replies.clear();
    }
    EXPECT_EQ(writer.reads, 0);

    // The end of load reads first; its frame failing leaves no pause and no second read.
    trace.clear();
    writer.Reply("OK");
    writer.failWrite = ++writes;
    EXPECT_EQ(WriterEndLoad(link, window), kErrIo);
    EXPECT_EQ(trace, (Trace{"read", "write failed"}));
}

TEST_F(WriterProtocolTest, FailedPayloadWriteEndsTheCommandWithoutReading) {
    writer.Reply("OK");
    writer.failWrite = 2;
    EXPECT_EQ(WriterSelectSection(link, window, 1), kErrIo);
    EXPECT_EQ(trace, (Trace{"frame 14", "sleep 10", "write failed"}));

    trace.clear();
    writer.failWrite = 4;
    EXPECT_EQ(WriterChecksumLength(link, window, 1), kErrIo);
    EXPECT_EQ(trace, (Trace{"frame 07", "sleep 10", "write failed"}));
    EXPECT_EQ(writer.reads, 0);
}

TEST_F(WriterProtocolTest, FlashWriteLeavesTheProgressLinesUnread) {
    writer.Reply("ERAS:1");
    EXPECT_EQ(WriterFlashWrite(link, window), kOk);
    EXPECT_EQ(trace, (Trace{"frame 03", "sleep 10"}));
    EXPECT_EQ(writer.writes[0], Frame({0xAB, 0x00, 0x00, 0x00, 0x07, 0x03}, WGUARD_COMMAND));
}
