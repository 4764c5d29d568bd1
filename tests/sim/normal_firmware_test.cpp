// The instrument's normal firmware: what it answers to the identification query and how
// the switch command takes it into writer mode.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "program_side.h"

using ::testing::HasSubstr;
using ::testing::IsEmpty;

class SimNormalFirmwareTest : public ::testing::Test {
  protected:
    SimNormalFirmwareTest() : program(SimScenario::SingleInstrument()) { program.Open(); }
    ProgramSide program;
};

TEST_F(SimNormalFirmwareTest, IdentificationPlacesEachRegionsRevisionWhereTheProgramReadsIt) {
    SimRegionRevisions revisions;
    revisions.mainProgram = "ABCD";
    revisions.writerProgram = "G";
    revisions.fpgaCode1 = "JK";
    revisions.fpgaCode2 = "PQ";
    revisions.httpProgram = "STUV";
    std::string field = SimRevisionField(revisions);
    EXPECT_EQ(field, "ABCD..G..JK....PQ.STUV");

    SimScenario scenario = SimScenario::SingleInstrument();
    scenario.instruments[0].revision = field;
    ProgramSide other(scenario);
    other.Open();
    EXPECT_EQ(other.Ask("*IDN?\n"), "ZENTROVA CORP.,K4417F,TW00000001,ABCD..G..JK....PQ.STUV\n");
    EXPECT_EQ(other.lastStatus, VI_SUCCESS);
}

TEST_F(SimNormalFirmwareTest, TheSwitchCommandTakesEffectWithTheNextSession) {
    EXPECT_EQ(program.Write("SYST:UPDATE COUNTER\n"), VI_SUCCESS);
    EXPECT_FALSE(program.visa.instrument(0).inWriterMode());
    EXPECT_THAT(program.Ask("*IDN?\n"), HasSubstr("ZENTROVA CORP.,"));  // still this session

    program.Read();
    EXPECT_EQ(program.lastStatus, VI_ERROR_TMO);  // the switch itself says nothing

    program.Close();
    program.Open();
    EXPECT_TRUE(program.visa.instrument(0).inWriterMode());
    EXPECT_EQ(program.Ask("*IDN?\n"), "WRITER,K4417F,TW00000001,0100..1..01....01.0100\n");
    program.Write("SYST:UPDATE COUNTER\n");  // already there: no effect, no complaint

    program.visa.instrument(0).PowerCycle();
    EXPECT_THAT(program.Ask("*IDN?\n"), HasSubstr("ZENTROVA CORP.,"));
    EXPECT_THAT(program.visa.violations(), IsEmpty());
}

TEST_F(SimNormalFirmwareTest, AnUnreadReplyDoesNotSurviveANewSession) {
    program.Write("*IDN?\n");
    program.Close();
    program.Open();
    program.Read();
    EXPECT_EQ(program.lastStatus, VI_ERROR_TMO);
}

TEST_F(SimNormalFirmwareTest, CommandsItDoesNotKnowAreRecorded) {
    program.Write("*IDN?");
    program.Write(Frame(0x0A, 7));
    EXPECT_THAT(program.visa.violations(),
                testing::ElementsAre("TW00000001: normal firmware: unknown command \"*IDN?\"",
                                     "TW00000001: writer frame sent to the normal firmware"));
}

TEST(SimReplyVariants, LowerCaseRepliesAndIdentificationOverrides) {
    SimScenario scenario = SimScenario::SingleInstrument();
    scenario.instruments.push_back(scenario.instruments[0]);
    scenario.instruments.push_back(scenario.instruments[0]);
    scenario.instruments[0].lowerCaseReplies = true;
    scenario.instruments[1].resource = "USB0::0x0D3F::0x1141::TW00000002::INSTR";
    scenario.instruments[1].idnReply = "NO COMMAS HERE\n";
    scenario.instruments[2].resource = "USB0::0x0D3F::0x1141::TW00000003::INSTR";
    scenario.instruments[2].idnReply = std::string(300, 'A');
    ProgramSide program(scenario);

    program.Open(scenario.instruments[0].resource);
    EXPECT_EQ(program.Ask("*IDN?\n"), "zentrova corp.,k4417f,tw00000001,0100..1..01....01.0100\n");
    program.Open(scenario.instruments[1].resource);
    EXPECT_EQ(program.Ask("*IDN?\n"), "NO COMMAS HERE\n");
    program.Open(scenario.instruments[2].resource);
    EXPECT_EQ(program.Ask("*IDN?\n"), std::string(255, 'A'));
    EXPECT_EQ(program.lastStatus, VI_SUCCESS_MAX_CNT);
}
