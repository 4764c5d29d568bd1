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

// Each command's frame bytes and payload. Their order, pauses and reads are pinned by the
// whole-section trace in section_transfer_test.cpp.
TEST_F(WriterProtocolTest, CommandsSendTheirFramePauseThenPayloadAndRead) {
    auto head = [](uint32_t count, uint8_t command) {
        return std::vector<uint8_t>{0xAB,
                                    static_cast<uint8_t>(count >> 24),
                                    static_cast<uint8_t>(count >> 16),
                                    static_cast<uint8_t>(count >> 8),
                                    static_cast<uint8_t>(count),
                                    command};
    };
    struct Case {
        const char* what;
        std::function<int()> run;
        std::vector<uint8_t> frame;
        std::string payload;
    };
    const Case cases[] = {
        {"reset", [&] { return WriterReset(link, window); },

         Frame(head(7, 0x0A), WGUARD_RESET), ""},
        {"load announces the size, waits for no answer",
         [&] { return WriterLoad(link, window, 65542); },

         Frame(head(65549, 0x0C), WGUARD_COMMAND), ""},
        {"select sends the id right after the pause",
         [&] { return WriterSelectSection(link, window, 0x1E); },

         Frame(head(8, 0x14), WGUARD_COMMAND), "\x1E"},
        {"checksum length 0", [&] { return WriterChecksumLength(link, window, 0); },

         Frame(head(19, 0x07), WGUARD_COMMAND), std::string("0") + std::string(11, '\0')},
        {"checksum length 2^32-1", [&] { return WriterChecksumLength(link, window, 4294967295u); },

         Frame(head(19, 0x07), WGUARD_COMMAND), std::string("4294967295") + std::string(2, '\0')},
        {"flash write leaves the progress lines unread",
         [&] { return WriterFlashWrite(link, window); },

         Frame(head(7, 0x03), WGUARD_COMMAND), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writer.writes.clear();
        writer.replies = {{VI_SUCCESS, "OK"}};
        EXPECT_EQ(c.run(), kOk);
        ASSERT_EQ(writer.writes.size(), c.payload.empty() ? 1u : 2u);
        EXPECT_EQ(writer.writes[0], c.frame);
        if (!c.payload.empty()) EXPECT_EQ(writer.writes[1], Bytes(c.payload));
    }
}

// The reset judges its answer by its text alone; the other commands want exactly the two
// bytes "OK" (upper-cased by the link); a failed read is an I/O error everywhere.
TEST_F(WriterProtocolTest, CommandsJudgeTheWritersAnswer) {
    struct Command {
        const char* name;
        std::function<int()> run;
        int badReply;
        bool textAlone;
    };
    const Command commands[] = {
        {"reset", [&] { return WriterReset(link, window); }, kErrResetReply, true},
        {"select", [&] { return WriterSelectSection(link, window, 1); }, kErrSelectReply, false},
        {"checksum length", [&] { return WriterChecksumLength(link, window, 100); },
         kErrChecksumLengthReply, false},
        {"flash check", [&] { return WriterFlashCheck(link, window); }, kErrFlashCheckReply, false},
    };
    enum Verdict { kAccepted, kRefused, kAcceptedAsText, kFailed };
    struct Answer {
        ScriptedReply reply;
        Verdict verdict;
    };
    const Answer answers[] = {
        {{VI_SUCCESS, "OK"}, kAccepted},
        {{VI_SUCCESS, "ok"}, kAccepted},
        {{VI_SUCCESS, std::string("OK\0XY", 5)}, kAcceptedAsText},
        {{VI_SUCCESS, "OKAY"}, kRefused},
        {{VI_SUCCESS, "OK!"}, kRefused},
        {{VI_SUCCESS, "OK\r\n"}, kRefused},
        {{VI_SUCCESS, "NG"}, kRefused},
        {{VI_SUCCESS, "O"}, kRefused},
        {{VI_SUCCESS, ""}, kRefused},
        {{VI_SUCCESS_MAX_CNT, "OK"}, kFailed},
        {{VI_ERROR_TMO, ""}, kFailed},
    };
    for (const Command& command : commands) {
        for (const Answer& answer : answers) {
            SCOPED_TRACE(std::string(command.name) + " answered " + answer.reply.text);
            writer.replies = {answer.reply};
            const bool accepted = answer.verdict == kAccepted ||
                                  (answer.verdict == kAcceptedAsText && command.textAlone);
            EXPECT_EQ(command.run(), answer.verdict == kFailed ? kErrIo
                                     : accepted                ? kOk
                                                               : command.badReply);
        }
    }
}

TEST_F(WriterProtocolTest, EndLoadSendsItsFrameOnlyAfterTheLoadedBytesWereAccepted) {
    const Trace whole = {"read", "frame 0D", "sleep 10", "read"};
    struct Case {
        std::vector<std::string> replies;
        int code;
        Trace trace;
    };
    const Case cases[] = {
        {{"OK", "OK"}, kOk, whole},
        {{"NG"}, kErrEndLoadReply, {"read"}},
        {{"OK\r\n"}, kErrEndLoadReply, {"read"}},
        {{}, kErrIo, {"read failed"}},  // the writer says nothing about the loaded bytes
        {{"OK", "NO"}, kErrEndLoadReply, whole},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.replies.empty() ? "silence" : c.replies[0]);
        trace.clear();
        writer.replies.clear();
        for (const std::string& reply : c.replies) writer.Reply(reply);
        EXPECT_EQ(WriterEndLoad(link, window), c.code);
        EXPECT_EQ(trace, c.trace);
    }
    EXPECT_EQ(Frames()[0], Frame({0xAB, 0x00, 0x00, 0x00, 0x07, 0x0D}, WGUARD_COMMAND));
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
        writer.Reply(c.reply);
        uint32_t checksum = 0xDEADBEEF;
        EXPECT_EQ(WriterQueryChecksum(link, window, &checksum), kOk);
        EXPECT_EQ(checksum, c.value);
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
