// The resource manager and its sessions as the program uses them: searching, opening,
// timeouts, reads that fill the buffer, and closing.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "program_side.h"

using ::testing::ElementsAre;

namespace {

SimScenario ThreeInstruments() {
    SimScenario s;
    for (const char* r :
         {"USB0::0x0D3F::0x1141::TW00000002::INSTR", "USB0::0x0D3F::0x1141::TX00000009::INSTR",
          "USB1::0x0D3F::0x1141::TW00000001::INSTR"}) {
        SimInstrumentSpec setup;
        setup.resource = r;
        setup.revision = "0100..1..01....01.0100";
        s.instruments.push_back(setup);
    }
    return s;
}

}  // namespace

class SimSessionsTest : public ::testing::Test {
  protected:
    SimSessionsTest() : program(ThreeInstruments()) {}

    ViStatus Find(const char* expression, ViFindList* list, ViUInt32* count, char* desc) {
        return program.visa.viFindRsrc(program.rm, expression, list, count, desc);
    }

    ProgramSide program;
    SimVisa& visa = program.visa;
};

TEST_F(SimSessionsTest, SearchListsEveryMatchThroughTheFindList) {
    ViFindList list = 0;
    ViUInt32 count = 99;
    char desc[VI_FIND_BUFLEN] = {};
    ASSERT_EQ(Find("USB?*::0x0d3f::0x1141::TW?*::INSTR", &list, &count, desc), VI_SUCCESS);
    EXPECT_EQ(count, 2u);
    EXPECT_STREQ(desc, "USB0::0x0D3F::0x1141::TW00000002::INSTR");
    ASSERT_EQ(visa.viFindNext(list, desc), VI_SUCCESS);
    EXPECT_STREQ(desc, "USB1::0x0D3F::0x1141::TW00000001::INSTR");
    EXPECT_EQ(visa.viFindNext(list, desc), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(visa.openSessionCount(), 1);
    EXPECT_EQ(visa.viClose(list), VI_SUCCESS);
    EXPECT_EQ(visa.viFindNext(list, desc), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(visa.openSessionCount(), 0);
}

TEST_F(SimSessionsTest, SearchFindingNothingOrMalformedFails) {
    ViFindList list = 0;
    ViUInt32 count = 99;
    char desc[VI_FIND_BUFLEN] = {};
    EXPECT_EQ(Find("GPIB?*::INSTR", &list, &count, desc), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(Find("USB[0-9::INSTR", &list, &count, desc), VI_ERROR_INV_EXPR);
    EXPECT_EQ(visa.viFindRsrc(12345, "?*", &list, &count, desc), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(visa.openSessionCount(), 0);
}

TEST_F(SimSessionsTest, OpeningNeedsAKnownResourceAndALiveResourceManager) {
    ViSession a = 0, b = 0, c = 0;
    EXPECT_EQ(visa.viOpen(program.rm, "usb0::0x0d3f::0x1141::tw00000002::instr", VI_NULL, 1000, &a),
              VI_SUCCESS);
    EXPECT_EQ(visa.viOpen(program.rm, "USB1::0x0D3F::0x1141::TW00000001::INSTR", VI_NULL, 1000, &b),
              VI_SUCCESS);
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
    EXPECT_NE(a, program.rm);
    EXPECT_EQ(visa.viOpen(program.rm, "USB0::0x0D3F::0x1141::TW99999999::INSTR", VI_NULL, 1000, &c),
              VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(visa.viOpen(program.rm, "", VI_NULL, 1000, &c), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(visa.viOpen(a, "USB1::0x0D3F::0x1141::TW00000001::INSTR", VI_NULL, 1000, &c),
              VI_ERROR_INV_OBJECT);
    EXPECT_EQ(visa.viSetAttribute(a, 0x3FFF0018, 1), VI_ERROR_NSUP_ATTR);
    EXPECT_EQ(visa.openSessionCount(), 2);
}

TEST_F(SimSessionsTest, ClosingTheResourceManagerClosesEverythingOpenedThroughIt) {
    ViSession other = 0, instrument = 0, mine = 0;
    ViFindList list = 0;
    ViUInt32 count = 0;
    char desc[VI_FIND_BUFLEN];
    visa.viOpenDefaultRM(&other);
    visa.viOpen(other, "USB1::0x0D3F::0x1141::TW00000001::INSTR", VI_NULL, 1000, &mine);
    visa.viOpen(program.rm, "USB1::0x0D3F::0x1141::TW00000001::INSTR", VI_NULL, 1000, &instrument);
    Find("?*", &list, &count, desc);
    ASSERT_EQ(visa.openSessionCount(), 3);

    EXPECT_EQ(visa.viClose(program.rm), VI_SUCCESS);
    EXPECT_EQ(visa.openSessionCount(), 1);  // only the session of the other manager
    ViUInt32 done = 0;
    EXPECT_EQ(visa.viWrite(instrument, reinterpret_cast<const ViByte*>("*IDN?\n"), 6, &done),
              VI_ERROR_INV_OBJECT);
    EXPECT_EQ(visa.viClose(program.rm), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(visa.viClose(list), VI_ERROR_INV_OBJECT);
    EXPECT_NE(visa.viClose(0), VI_SUCCESS);  // harmless, but no success
}

TEST_F(SimSessionsTest, AReadWithNothingToSayWaitsTheSessionTimeout) {
    program.Open("USB1::0x0D3F::0x1141::TW00000001::INSTR");  // timeout set to 5000
    program.Read();
    EXPECT_EQ(program.lastStatus, VI_ERROR_TMO);
    EXPECT_EQ(program.clock.NowMs(), 5000u);

    ViSession fresh = 0;
    visa.viOpen(program.rm, "USB1::0x0D3F::0x1141::TW00000001::INSTR", VI_NULL, 1000, &fresh);
    ViByte buffer[8];
    ViUInt32 got = 7;
    EXPECT_EQ(visa.viRead(fresh, buffer, 8, &got), VI_ERROR_TMO);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(program.clock.NowMs(), 7000u);  // the library's default of 2000 ms
}

// A clock whose waits last until the test lets them go.
class HeldClock : public SimClock {
  public:
    uint64_t NowMs() override { return 0; }
    void Wait(uint32_t) override {
        std::unique_lock<std::mutex> lock(mutex_);
        waiting_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_; });
    }
    void AwaitWaiter() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return waiting_; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool waiting_ = false, released_ = false;
};

// While one instrument's read waits out its timeout, the others are searched, opened and
// asked as if nothing waited (a lock held across the wait would hang this test).
TEST(SimThreads, AReadWaitingOutItsTimeoutHoldsUpNoOtherInstrument) {
    HeldClock clock;
    SimVisa visa(ThreeInstruments(), &clock);
    ViSession rm = 0, silent = 0, other = 0;
    visa.viOpenDefaultRM(&rm);
    visa.viOpen(rm, "USB1::0x0D3F::0x1141::TW00000001::INSTR", VI_NULL, 1000, &silent);
    ViStatus silentStatus = VI_SUCCESS;
    std::thread waiting([&] {
        ViByte buffer[8];
        ViUInt32 got = 0;
        silentStatus = visa.viRead(silent, buffer, 8, &got);
    });
    clock.AwaitWaiter();

    ViFindList list = 0;
    ViUInt32 count = 0, done = 0;
    char desc[VI_FIND_BUFLEN] = {};
    EXPECT_EQ(visa.viFindRsrc(rm, "USB0?*", &list, &count, desc), VI_SUCCESS);
    ASSERT_EQ(visa.viOpen(rm, desc, VI_NULL, 1000, &other), VI_SUCCESS);
    visa.viWrite(other, reinterpret_cast<const ViByte*>("*IDN?\n"), 6, &done);
    ViByte reply[64] = {};
    EXPECT_EQ(visa.viRead(other, reply, 63, &done), VI_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), 9), "ZENTROVA ");
    EXPECT_EQ(visa.viClose(other), VI_SUCCESS);

    clock.Release();
    waiting.join();
    EXPECT_EQ(silentStatus, VI_ERROR_TMO);
}

TEST_F(SimSessionsTest, AReplyFillingTheBufferEndsWithMaxCountAndTheRestStaysPending) {
    program.Open("USB1::0x0D3F::0x1141::TW00000001::INSTR");
    program.Write("*IDN?\n");
    EXPECT_EQ(program.Read(10), "ZENTROVA C");
    EXPECT_EQ(program.lastStatus, VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(program.Read(), "ORP.,K4417F,TW00000001,0100..1..01....01.0100\n");
    EXPECT_EQ(program.lastStatus, VI_SUCCESS);
    program.Write("*IDN?\n");
    std::string whole = program.Read(56);  // exactly the reply's length
    EXPECT_EQ(whole.size(), 56u);
    EXPECT_EQ(program.lastStatus, VI_SUCCESS_MAX_CNT);
}

TEST_F(SimSessionsTest, EveryCallIsRecordedWithItsNumberAmongItsKind) {
    program.Open("USB1::0x0D3F::0x1141::TW00000001::INSTR");
    program.Ask("*IDN?\n");
    program.Ask("*IDN?\n");
    std::vector<SimCall> reads = visa.callsOf("viRead");
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[1].nth, 2);
    EXPECT_EQ(reads[1].resource, "USB1::0x0D3F::0x1141::TW00000001::INSTR");
    EXPECT_EQ(reads[1].arg, 255u);
    EXPECT_EQ(reads[1].text().substr(0, 9), "ZENTROVA ");
    std::vector<std::string> ops;
    for (const SimCall& c : visa.calls()) ops.push_back(c.op);
    EXPECT_THAT(ops, ElementsAre("viOpenDefaultRM", "viOpen", "viSetAttribute", "viWrite", "viRead",
                                 "viWrite", "viRead"));
    EXPECT_EQ(visa.callsOf("viSetAttribute")[0].arg, 5000u);
}

TEST_F(SimSessionsTest, BigWritesAreRecordedByCountAndHeadOnly) {
    program.Open("USB1::0x0D3F::0x1141::TW00000001::INSTR");
    program.Write(std::string(1024, 'z'));
    const SimCall& write = visa.calls().back();
    EXPECT_EQ(write.byteCount, 1024u);
    EXPECT_EQ(write.bytes.size(), kSimRecordedHead);
}
