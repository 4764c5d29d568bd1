#include <chrono>
#include <thread>

#include "sim_visa.h"

namespace {
uint64_t SteadyMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
}  // namespace

SteadyClock::SteadyClock(double timeoutScale) : scale_(timeoutScale), startMs_(SteadyMs()) {}

uint64_t SteadyClock::NowMs() {
    return SteadyMs() - startMs_;
}

void SteadyClock::Wait(uint32_t ms) {
    std::this_thread::sleep_for(
        std::chrono::microseconds(static_cast<int64_t>(ms * scale_ * 1000)));
}
