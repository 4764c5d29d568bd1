// Faults injected on purpose: calls that fail, time out or bring a different reply, and a
// writer that answers badly at one step of one section.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "program_side.h"

using ::testing::ElementsAre;

namespace {}  // namespace

class SimFaultsTest : public ::testing::Test {
  protected:
    ProgramSide& Start(std::vector<SimFault> faults, const std::string& mode = "writer") {
        SimScenario scenario = SimScenario::SingleInstrument(mode);
        scenario.faults = std::move(faults);
        program = std::make_unique<ProgramSide>(scenario);
        program->Open();
        return *program;
    }
    // The replies of the first and second section, each of `payload` bytes.
    std::vector<std::string> TwoSections(size_t payload = 100) {
        program->WriteSection(TestSectionBytes(1, "1", payload), 1);
        return program->WriteSection(TestSectionBytes(4, "22", payload), 4);
    }
    std::unique_ptr<ProgramSide> program;
};

TEST_F(SimFaultsTest, TheNthCallFailsWithTheStatusAskedForAndChangesNothing) {
    SimFault openFault = SimFault::AtCall("viOpen", 1, "fail");
    openFault.status = VI_ERROR_RSRC_NFOUND;
    SimScenario scenario = SimScenario::SingleInstrument();
    scenario.faults = {openFault, SimFault::AtCall("viSetAttribute", 1, "fail"),
                       SimFault::AtCall("viWrite", 2, "fail")};
    ProgramSide p(scenario);
    EXPECT_EQ(p.Open(), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(p.visa.openSessionCount(), 0);
    EXPECT_EQ(p.Open(), VI_SUCCESS);  // the second open is not the first any more
    EXPECT_EQ(p.visa.callsOf("viSetAttribute")[0].status, VI_ERROR_IO);  // the default status
    EXPECT_EQ(p.Write("*IDN?\n"), VI_SUCCESS);
    p.Read();
    EXPECT_EQ(p.Write("SYST:UPDATE COUNTER\n"), VI_ERROR_IO);
    p.Close();
    p.Open();
    EXPECT_FALSE(p.visa.instrument(0).inWriterMode());  // the failed write never arrived
}

TEST_F(SimFaultsTest, TimeoutsWaitTheSessionTimeoutAndLeaveTheReplyPending) {
    ProgramSide& p = Start({SimFault::AtCall("viRead", 1, "timeout")}, "normal");
    p.Write("*IDN?\n");
    p.Read();
    EXPECT_EQ(p.lastStatus, VI_ERROR_TMO);
    EXPECT_EQ(p.clock.NowMs(), 5000u);
    EXPECT_EQ(p.Read().substr(0, 9), "ZENTROVA ");
}

TEST_F(SimFaultsTest, ReplacedAndSilencedReplies) {
    ProgramSide& p =
        Start({SimFault::AtCall("viRead", 1, "reply", "ng"),
               SimFault::AtCall("viRead", 2, "silent"), SimFault::AtCall("viWrite", 3, "silent")},
              "normal");
    p.Write("*IDN?\n");
    EXPECT_EQ(p.Read(), "ng");
    p.Write("*IDN?\n");
    p.Read();
    EXPECT_EQ(p.lastStatus, VI_ERROR_TMO);
    EXPECT_FALSE(p.visa.instrument(0).HasReply());  // that reply is lost
    EXPECT_EQ(p.Write("*IDN?\n"), VI_SUCCESS);      // reported as written ...
    EXPECT_FALSE(p.visa.instrument(0).HasReply());  // ... but never heard
}

TEST_F(SimFaultsTest, WriterRepliesChangedAtOneStepOfOneSection) {
    Start({SimFault::AtStep(2, "reset", "NG"), SimFault::AtStep(2, "end_load_data", "ok?"),
           SimFault::AtStep(2, "end_load", "O"), SimFault::AtStep(2, "select", "OKAY"),
           SimFault::AtStep(2, "checksum_length", "no"), SimFault::AtStep(2, "checksum", "12345"),
           SimFault::AtStep(2, "flash_check", "")});
    std::vector<std::string> first = program->WriteSection(TestSectionBytes(1, "1", 100), 1);
    EXPECT_EQ(first[0], "OK");
    std::vector<std::string> second = program->WriteSection(TestSectionBytes(4, "22", 100), 4);
    EXPECT_THAT(std::vector<std::string>(second.begin(), second.begin() + 7),
                ElementsAre("NG", "ok?", "O", "OKAY", "no", "12345", ""));
}

TEST_F(SimFaultsTest, FinalLineFaultsLeaveTheFlashUnwritten) {
    for (const char* final : {"ERASE NG", "PROGRAM NG", "DATA IS THE LATEST UPDATE"}) {
        Start({SimFault::AtStep(2, "final", final)});
        std::vector<std::string> replies = TwoSections();
        EXPECT_EQ(replies.back(), final);
        EXPECT_EQ(program->visa.instrument(0).flash().Read(4 * 65536, 1)[0], 0xFF) << final;
        EXPECT_EQ(program->visa.instrument(0).flash().Read(1 * 65536, 1)[0], 0x4B) << final;
    }
}

TEST_F(SimFaultsTest, ASilentWriterLetsTheReadTimeOut) {
    ProgramSide& p = Start({SimFault::AtStep(1, "final", "", "silent")});
    std::vector<std::string> replies = p.WriteSection(TestSectionBytes(1, "1", 100), 1);
    EXPECT_EQ(replies.back(), "PROG:1");
    EXPECT_EQ(p.lastStatus, VI_ERROR_TMO);
}

TEST_F(SimFaultsTest, WriterFaultsCanBeLimitedToOneInstrument) {
    SimScenario scenario = SimScenario::SingleInstrument("writer");
    SimFault fault = SimFault::AtStep(1, "reset", "NG");
    fault.resource = "USB0::0x0D3F::0x1141::TW00000009::INSTR";
    scenario.faults = {fault};
    ProgramSide p(scenario);
    p.Open();
    EXPECT_EQ(p.WriteSection(TestSectionBytes(1, "1", 10), 1)[0], "OK");
}
