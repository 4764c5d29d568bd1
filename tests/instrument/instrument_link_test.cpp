// The instrument sessions against the simulated instrument: what the device list shows,
// what is opened and closed, and what reaches the callers of reads.

#include "instrument/instrument_link.h"

#include <cstring>

#include "update_fixture.h"

namespace {

class InstrumentLinkTest : public UpdateFixture {};

TEST_F(InstrumentLinkTest, SearchExpressionFitsFortyNineCharactersOrNothingIsSearched) {
    EXPECT_EQ(BuildSearchExpression("0x0d3f", "0x1141"), "USB?*::0x0d3f::0x1141::TW?*::INSTR");
    EXPECT_EQ(BuildSearchExpression("0x" + std::string(19, '0'), "0x0001").size(), 49u);

    Start();
    InstrumentLink refused(*sim, window, "0x" + std::string(20, '0'), "0x0001");
    std::vector<std::string> found{"left over"};
    EXPECT_EQ(refused.SearchInstruments(found), 0);
    EXPECT_TRUE(found.empty());
    EXPECT_TRUE(sim->callsOf("viFindRsrc").empty());
}

TEST_F(InstrumentLinkTest, MatchingInstrumentsAreListedInTheLibrarysOrderUntilASearchFindsNone) {
    SimScenario scenario;
    for (const char* resource :
         {"USB0::0x0D3F::0x1141::TW00000003::INSTR", "USB1::0x0D3F::0x1141::TW00000002::INSTR",
          "USB0::0x0D3F::0x1141::TW00000001::INSTR", "USB0::0x0D3F::0x1142::TW00000004::INSTR",
          "USB0::0x0D3F::0x1141::XY00000005::INSTR"})
        scenario.instruments.push_back(Attached(resource));
    scenario.faults = {SimFault::AtCall("viFindRsrc", 2, "fail")};
    Start(scenario);

    std::vector<std::string> found;
    EXPECT_EQ(link().SearchInstruments(found), 3);
    EXPECT_EQ(found, (std::vector<std::string>{"USB0::0x0D3F::0x1141::TW00000003::INSTR",
                                               "USB1::0x0D3F::0x1141::TW00000002::INSTR",
                                               "USB0::0x0D3F::0x1141::TW00000001::INSTR"}));
    EXPECT_EQ(sim->openSessionCount(), 0);  // the find list is closed after the search

    EXPECT_EQ(link().SearchInstruments(found), 0);
    EXPECT_TRUE(found.empty());
}

// Both timeouts are set; a failed open leaves no session, a failed timeout setting one
// that the disconnect closes.
TEST_F(InstrumentLinkTest, ConnectOpensTheSelectedInstrumentOrGivesThree) {
    Start(SimScenario());  // nothing attached, nothing selected
    EXPECT_EQ(Connect(), 3);
    EXPECT_EQ(link().instrumentSession(), 0u);

    Start();
    ASSERT_EQ(Connect(), 0);
    EXPECT_EQ(sim->callsOf("viOpen").at(0).resource, kFirstResource);
    EXPECT_EQ(sim->callsOf("viOpen").at(0).arg, 1000u);
    EXPECT_EQ(sim->callsOf("viSetAttribute").at(0).arg, 5000u);

    Start(Bench("normal", {SimFault::AtCall("viOpen", 1, "fail")}));
    EXPECT_EQ(Connect(), 3);
    EXPECT_EQ(sim->openSessionCount(), 0);

    Start(Bench("normal", {SimFault::AtCall("viSetAttribute", 1, "fail")}));
    EXPECT_EQ(Connect(), 3);
    EXPECT_EQ(sim->openSessionCount(), 1);
    link().DisconnectDevice();
    EXPECT_EQ(sim->openSessionCount(), 0);
    link().DisconnectDevice();  // with no session: harmless
    EXPECT_EQ(link().instrumentSession(), 0u);
}

TEST_F(InstrumentLinkTest, ReadsAreTerminatedAndUpperCasedOrFailWithTheLibraryStatus) {
    StartConnected(Bench("normal", {SimFault::AtCall("viRead", 1, "reply", "ok\r\n"),
                                    SimFault::AtCall("viRead", 2, "reply", std::string(300, 'a')),
                                    SimFault::AtCall("viRead", 3, "timeout")}));
    char buffer[kReplyMax + 1];
    uint32_t count = 0;
    EXPECT_EQ(link().ReadDevice(buffer, kReplyMax, &count), VI_SUCCESS);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(std::string(buffer, 5), std::string("OK\r\n\0", 5));

    EXPECT_EQ(link().ReadDevice(buffer, kReplyMax, &count), VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(count, kReplyMax);
    EXPECT_EQ(link().ReadDevice(buffer, kReplyMax, &count), VI_ERROR_TMO);
}

// A library that fills every byte it is given and claims to have read more than allowed.
class OverreportingVisa : public SimVisa {
  public:
    using SimVisa::SimVisa;
    ViStatus viFindRsrc(ViSession, const ViChar*, ViFindList* list, ViUInt32* count,
                        ViChar desc[]) override {
        std::memset(desc, 'U', VI_FIND_BUFLEN);
        *list = 0, *count = 2;
        return VI_SUCCESS;
    }
    ViStatus viFindNext(ViFindList, ViChar desc[]) override {
        std::memset(desc, 'V', VI_FIND_BUFLEN);
        return found++ == 0 ? VI_SUCCESS : VI_ERROR_RSRC_NFOUND;
    }
    int found = 0;
    ViStatus viRead(ViSession, ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt) override {
        std::memset(buf, 'a', cnt);
        *retCnt = cnt + 5000;
        return VI_SUCCESS;
    }
};

TEST_F(InstrumentLinkTest, OverfullNamesAndCountsNeverTakeUsPastTheBuffer) {
    OverreportingVisa visa(SimScenario::SingleInstrument());
    InstrumentLink overreported(visa, window, "0x0d3f", "0x1141");
    std::vector<std::string> found;
    EXPECT_EQ(overreported.SearchInstruments(found), 2);
    EXPECT_EQ(found, (std::vector<std::string>{std::string(VI_FIND_BUFLEN - 1, 'U'),
                                               std::string(VI_FIND_BUFLEN - 1, 'V')}));
    // Opened by as much of its name as the window's device list keeps.
    overreported.ConnectDevice(found.front());
    EXPECT_EQ(visa.callsOf("viOpen").at(0).resource, std::string(254, 'U'));

    struct {
        char reply[17];
        char guard[8];
    } memory;
    std::memset(&memory, '#', sizeof memory);
    uint32_t count = 0;
    EXPECT_EQ(overreported.ReadDevice(memory.reply, 16, &count), VI_SUCCESS);
    EXPECT_EQ(count, 16u);
    EXPECT_EQ(std::string(memory.reply, 17), std::string(16, 'A') + '\0');
    EXPECT_EQ(std::string(memory.guard, 8), std::string(8, '#'));
}

// A library that reports a search without matches as a success and leaves the find list
// unset, and notes how each instrument is asked to be opened.
class LaxVisa : public SimVisa {
  public:
    using SimVisa::SimVisa;
    ViStatus viFindRsrc(ViSession, const ViChar*, ViFindList*, ViUInt32* count, ViChar*) override {
        *count = 0;
        return VI_SUCCESS;
    }
    ViStatus viOpen(ViSession rm, const ViChar* name, ViAccessMode mode, ViUInt32 timeout,
                    ViSession* vi) override {
        modes.push_back(mode);
        return SimVisa::viOpen(rm, name, mode, timeout, vi);
    }
    std::vector<ViAccessMode> modes;
};

TEST_F(InstrumentLinkTest, NoUnsetFindListIsClosedAndInstrumentsAreOpenedWithoutALock) {
    LaxVisa visa(SimScenario::SingleInstrument());
    InstrumentLink lax(visa, window, "0x0d3f", "0x1141");
    std::vector<std::string> found;
    EXPECT_EQ(lax.SearchInstruments(found), 0);
    EXPECT_TRUE(visa.callsOf("viClose").empty());
    EXPECT_EQ(lax.ConnectDevice("USB0::0x0D3F::0x1141::TW00000001::INSTR"), 0);
    EXPECT_EQ(visa.modes, std::vector<ViAccessMode>{0});  // a lock would shut out other programs
}

}  // namespace
