// The resource manager and its sessions as the program uses them: searching, opening,
// timeouts, reads that fill the buffer, and closing.

#include "update_fixture.h"

namespace {

class SimSessionsTest : public UpdateFixture {
  protected:
    void SetUp() override {
        SimScenario s;
        for (const char* r : {"USB0::0x0D3F::0x1141::TW00000002::INSTR",
                              "USB0::0x0D3F::0x1141::TX00000009::INSTR", kInstrument})
            s.instruments.push_back(Attached(r));
        Start(s);
        rm = link().resourceManager();
    }
    ViStatus Find(const char* expression, ViFindList* list, ViUInt32* count, char* desc) {
        return sim->viFindRsrc(rm, expression, list, count, desc);
    }
    // Opens kInstrument with the library's default timeout.
    ViSession Open() {
        ViSession session = 0;
        EXPECT_EQ(sim->viOpen(rm, kInstrument, VI_NULL, 1000, &session), VI_SUCCESS);
        return session;
    }
    std::string Read(ViSession session, ViUInt32 max, ViStatus* status) {
        std::vector<ViByte> buffer(max);
        ViUInt32 got = 7;
        *status = sim->viRead(session, buffer.data(), max, &got);
        return std::string(buffer.begin(), buffer.begin() + got);
    }
    void Ask(ViSession session) {
        ViUInt32 done = 0;
        sim->viWrite(session, reinterpret_cast<const ViByte*>("*IDN?\n"), 6, &done);
    }

    static constexpr const char* kInstrument = "USB1::0x0D3F::0x1141::TW00000001::INSTR";
    ViSession rm = 0;
};

TEST_F(SimSessionsTest, SearchListsEveryMatchThroughTheFindList) {
    ViFindList list = 0;
    ViUInt32 count = 99;
    char desc[VI_FIND_BUFLEN] = {};
    ASSERT_EQ(Find("USB?*::0x0d3f::0x1141::TW?*::INSTR", &list, &count, desc), VI_SUCCESS);
    EXPECT_EQ(count, 2u);
    EXPECT_STREQ(desc, "USB0::0x0D3F::0x1141::TW00000002::INSTR");
    ASSERT_EQ(sim->viFindNext(list, desc), VI_SUCCESS);
    EXPECT_STREQ(desc, "USB1::0x0D3F::0x1141::TW00000001::INSTR");
    EXPECT_EQ(sim->viFindNext(list, desc), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(sim->openSessionCount(), 1);
    EXPECT_EQ(sim->viClose(list), VI_SUCCESS);
    EXPECT_EQ(sim->viFindNext(list, desc), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(sim->openSessionCount(), 0);
}

TEST_F(SimSessionsTest, SearchFindingNothingOrMalformedFails) {
    ViFindList list = 0;
    ViUInt32 count = 99;
    char desc[VI_FIND_BUFLEN] = {};
    EXPECT_EQ(Find("GPIB?*::INSTR", &list, &count, desc), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(Find("USB[0-9::INSTR", &list, &count, desc), VI_ERROR_INV_EXPR);
    EXPECT_EQ(sim->viFindRsrc(12345, "?*", &list, &count, desc), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(sim->openSessionCount(), 0);
}

TEST_F(SimSessionsTest, ClosingTheResourceManagerClosesEverythingOpenedThroughIt) {
    ViSession other = 0, instrument = 0, mine = 0;
    ViFindList list = 0;
    ViUInt32 count = 0;
    char desc[VI_FIND_BUFLEN];
    sim->viOpenDefaultRM(&other);
    sim->viOpen(other, "USB1::0x0D3F::0x1141::TW00000001::INSTR", VI_NULL, 1000, &mine);
    sim->viOpen(rm, "USB1::0x0D3F::0x1141::TW00000001::INSTR", VI_NULL, 1000, &instrument);
    Find("?*", &list, &count, desc);
    ASSERT_EQ(sim->openSessionCount(), 3);

    EXPECT_EQ(sim->viClose(rm), VI_SUCCESS);
    EXPECT_EQ(sim->openSessionCount(), 1);  // only the session of the other manager
    ViUInt32 done = 0;
    EXPECT_EQ(sim->viWrite(instrument, reinterpret_cast<const ViByte*>("*IDN?\n"), 6, &done),
              VI_ERROR_INV_OBJECT);
    EXPECT_EQ(sim->viClose(rm), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(sim->viClose(list), VI_ERROR_INV_OBJECT);
    EXPECT_NE(sim->viClose(0), VI_SUCCESS);  // harmless, but no success
}

TEST_F(SimSessionsTest, ReadsWaitTheTimeoutOrFillTheBufferAndLeaveTheRestPending) {
    const ViSession session = Open();
    ViStatus status = 0;
    EXPECT_EQ(Read(session, 8, &status), "");
    EXPECT_EQ(status, VI_ERROR_TMO);
    EXPECT_EQ(clock.NowMs(), 2000u);  // the library's default timeout
    sim->viSetAttribute(session, VI_ATTR_TMO_VALUE, 5000);
    Read(session, 8, &status);
    EXPECT_EQ(clock.NowMs(), 7000u);

    Ask(session);
    EXPECT_EQ(Read(session, 10, &status), "ZENTROVA C");
    EXPECT_EQ(status, VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(Read(session, 255, &status), "ORP.,K4417F,TW00000001,0100..1..01....01.0100\n");
    EXPECT_EQ(status, VI_SUCCESS);
    Ask(session);
    EXPECT_EQ(Read(session, 56, &status).size(), 56u);  // exactly the reply's length
    EXPECT_EQ(status, VI_SUCCESS_MAX_CNT);
}

}  // namespace
