// The instrument sessions and identification against the simulated instrument: what an
// operator's run does to real-looking instruments, and how faults on the bus come back.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "firmware/firmware_info.h"
#include "firmware/model_catalogue.h"
#include "instrument/identification.h"
#include "instrument/instrument_link.h"
#include "recording_window.h"
#include "sim_visa.h"

namespace {

const char kFirst[] = "USB0::0x0D3F::0x1141::TW00000001::INSTR";

SimFault CallFault(const std::string& op, int nth, const std::string& action,
                   const std::string& text = std::string()) {
    SimFault fault;
    fault.op = op;
    fault.nth = nth;
    fault.action = action;
    fault.text = text;
    return fault;
}

class SimulatedInstrumentTest : public ::testing::Test {
  protected:
    void Start(SimScenario scenario) {
        sim = std::make_unique<SimVisa>(std::move(scenario));
        link = std::make_unique<InstrumentLink>(*sim, window, "0x0d3f", "0x1141");
        link->OpenResourceManager();
    }
    void StartWithFault(SimFault fault) {
        SimScenario scenario = SimScenario::SingleInstrument();
        scenario.faults.push_back(fault);
        Start(scenario);
    }
    // Searches and selects the first instrument found, as the update procedure does.
    void SearchAndSelect() {
        ASSERT_GE(link->SearchInstruments(), 1);
        window.DeviceListSelect(0);
    }
    // A loaded K4417F file whose sections carry these revisions, in table order.
    void LoadFile(const std::vector<std::string>& revisions) {
        ClearFirmwareInfo(info);
        for (const std::string& revision : revisions) {
            ImageSection* section = AppendSection(info);
            ASSERT_NE(section, nullptr);
            std::strncpy(section->revision, revision.c_str(), sizeof section->revision - 1);
        }
    }

    RecordingWindow window;
    std::unique_ptr<SimVisa> sim;
    std::unique_ptr<InstrumentLink> link;
    const ModelRecord& model = *FindModel("K4417F");
    std::string reply;
    FirmwareInfo info;
};

TEST_F(SimulatedInstrumentTest, NormalFirmwareIsIdentifiedSwitchedAndComparedWithTheFile) {
    Start(SimScenario::SingleInstrument());
    SearchAndSelect();
    ASSERT_EQ(link->ConnectDevice(), 0);
    EXPECT_EQ(sim->callsOf("viOpen").at(0).arg, 1000u);
    EXPECT_EQ(sim->callsOf("viSetAttribute").at(0).arg, 5000u);

    const std::string field = SimRevisionField(SimRegionRevisions{});
    EXPECT_EQ(IdentifyDevice(*link, model, reply), 5);
    EXPECT_EQ(reply, "ZENTROVA CORP.,K4417F,TW00000001," + field + "\n");
    EXPECT_EQ(SwitchToWriter(*link), 0);
    link->DisconnectDevice();
    EXPECT_EQ(sim->openSessionCount(), 0);

    ASSERT_EQ(link->ConnectDevice(), 0);
    EXPECT_EQ(IdentifyDevice(*link, model, reply), 0);
    EXPECT_EQ(reply.rfind("WRITER,K4417F,", 0), 0u) << reply;

    // Writer 1, FPGA 01 and 01, main 0100, http 0100; the Oem row never counts.
    LoadFile({"1", "01", "01", "0100", "0100", ""});
    EXPECT_EQ(CheckRevisions(info, model, reply), 0);
    LoadFile({"1", "01", "01", "0099", "0100", "00"});
    EXPECT_EQ(CheckRevisions(info, model, reply), 22);
    link->DisconnectDevice();
    EXPECT_TRUE(sim->violations().empty());
}

TEST_F(SimulatedInstrumentTest, ThreeMatchingInstrumentsAreListedSortedNoneSelected) {
    SimScenario scenario;
    for (const char* resource :
         {"USB0::0x0D3F::0x1141::TW00000003::INSTR", "USB1::0x0D3F::0x1141::TW00000002::INSTR",
          "USB0::0x0D3F::0x1141::TW00000001::INSTR", "USB0::0x0D3F::0x1142::TW00000004::INSTR",
          "USB0::0x0D3F::0x1141::XY00000005::INSTR"}) {
        SimInstrumentSpec spec;
        spec.resource = resource;
        scenario.instruments.push_back(spec);
    }
    Start(scenario);
    EXPECT_EQ(link->SearchInstruments(), 3);
    EXPECT_EQ(window.devices,
              (std::vector<std::string>{"USB0::0x0D3F::0x1141::TW00000001::INSTR",
                                        "USB0::0x0D3F::0x1141::TW00000003::INSTR",
                                        "USB1::0x0D3F::0x1141::TW00000002::INSTR"}));
    EXPECT_EQ(window.selected, -1);
    EXPECT_EQ(sim->callsOf("viFindRsrc").at(0).text(), "USB?*::0x0d3f::0x1141::TW?*::INSTR");
    EXPECT_EQ(sim->openSessionCount(), 0);  // the find list was closed
}

TEST_F(SimulatedInstrumentTest, SearchThatFindsNothingAfterOneThatFoundLeavesTheListEmpty) {
    StartWithFault(CallFault("viFindRsrc", 2, "fail"));
    ASSERT_EQ(link->SearchInstruments(), 1);
    EXPECT_EQ(window.devices, std::vector<std::string>{kFirst});
    EXPECT_EQ(link->SearchInstruments(), 0);
    EXPECT_TRUE(window.devices.empty());
}

TEST_F(SimulatedInstrumentTest, NoInstrumentAttachedFindsNothing) {
    Start(SimScenario());
    EXPECT_EQ(link->SearchInstruments(), 0);
    EXPECT_TRUE(window.devices.empty());
    EXPECT_EQ(link->ConnectDevice(), 3);  // nothing selected
}

TEST_F(SimulatedInstrumentTest, FailedOpenLeavesNoSession) {
    StartWithFault(CallFault("viOpen", 1, "fail"));
    SearchAndSelect();
    EXPECT_EQ(link->ConnectDevice(), 3);
    EXPECT_EQ(sim->openSessionCount(), 0);
    EXPECT_EQ(link->instrumentSession(), 0u);
}

TEST_F(SimulatedInstrumentTest, FailedTimeoutLeavesTheSessionOpenUntilDisconnect) {
    StartWithFault(CallFault("viSetAttribute", 1, "fail"));
    SearchAndSelect();
    EXPECT_EQ(link->ConnectDevice(), 3);
    EXPECT_EQ(sim->openSessionCount(), 1);
    link->DisconnectDevice();
    EXPECT_EQ(sim->openSessionCount(), 0);
    link->DisconnectDevice();  // again, with no session: harmless
    EXPECT_EQ(link->instrumentSession(), 0u);
}

TEST_F(SimulatedInstrumentTest, ReadThatTimesOutFailsIdentificationAfterTheIoTimeout) {
    StartWithFault(CallFault("viRead", 1, "timeout"));
    SearchAndSelect();
    ASSERT_EQ(link->ConnectDevice(), 0);
    reply = "before";
    const uint64_t start = sim->clock().NowMs();
    EXPECT_EQ(IdentifyDevice(*link, model, reply), 4);
    EXPECT_EQ(sim->clock().NowMs() - start, 5000u);
    EXPECT_EQ(reply, "before");
}

TEST_F(SimulatedInstrumentTest, QueryThatCannotBeWrittenFailsIdentification) {
    StartWithFault(CallFault("viWrite", 1, "fail"));
    SearchAndSelect();
    ASSERT_EQ(link->ConnectDevice(), 0);
    EXPECT_EQ(IdentifyDevice(*link, model, reply), 4);
    EXPECT_EQ(SwitchToWriter(*link), 0);  // the second write goes through
}

TEST_F(SimulatedInstrumentTest, ReplyFillingTheWholeMaximumIsAFailure) {
    SimScenario scenario = SimScenario::SingleInstrument();
    scenario.instruments[0].idnReply = "ZENTROVA CORP.," + std::string(300, 'x') + "\n";
    Start(scenario);
    SearchAndSelect();
    ASSERT_EQ(link->ConnectDevice(), 0);
    EXPECT_EQ(IdentifyDevice(*link, model, reply), 4);
}

TEST_F(SimulatedInstrumentTest, LowerCaseRepliesAreUpperCasedBeforeAnyComparison) {
    SimScenario scenario = SimScenario::SingleInstrument();
    scenario.instruments[0].lowerCaseReplies = true;
    scenario.faults.push_back(CallFault("viRead", 2, "reply", "ok\r\n"));
    Start(scenario);
    SearchAndSelect();
    ASSERT_EQ(link->ConnectDevice(), 0);
    EXPECT_EQ(IdentifyDevice(*link, model, reply), 5);
    EXPECT_EQ(reply.rfind("ZENTROVA CORP.,K4417F,TW00000001,", 0), 0u) << reply;

    char buffer[kReplyMax + 1];
    uint32_t count = 0;
    ASSERT_EQ(link->WriteDevice("*IDN?\n", 6), VI_SUCCESS);
    ASSERT_EQ(link->ReadDevice(buffer, kReplyMax, &count), VI_SUCCESS);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(std::string(buffer, 5), std::string("OK\r\n\0", 5));
}

}  // namespace
