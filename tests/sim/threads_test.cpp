// Several instruments on several threads: a read waiting out its timeout on one instrument
// must not hold up the others.

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "sim_visa.h"

namespace {

SimScenario TwoInstruments() {
    SimScenario scenario;
    for (const char* resource :
         {"USB1::0x0D3F::0x1141::TW00000001::INSTR", "USB0::0x0D3F::0x1141::TW00000002::INSTR"}) {
        SimInstrumentSpec instrument;
        instrument.resource = resource;
        instrument.revision = "0100..1..01....01.0100";
        scenario.instruments.push_back(instrument);
    }
    return scenario;
}

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

}  // namespace

// While one instrument's read waits out its timeout, the others are searched, opened and
// asked as if nothing waited (a lock held across the wait would hang this test).
TEST(SimThreads, AReadWaitingOutItsTimeoutHoldsUpNoOtherInstrument) {
    HeldClock clock;
    SimVisa visa(TwoInstruments(), &clock);
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
