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

VirtualClock::VirtualClock(const VirtualClock& other) {
    std::lock_guard<std::mutex> lock(other.mutex_);
    now_ = other.now_;
}

VirtualClock& VirtualClock::operator=(const VirtualClock& other) {
    if (this != &other) {
        std::scoped_lock lock(mutex_, other.mutex_);
        now_ = other.now_;
    }
    return *this;
}

uint64_t VirtualClock::NowMs() {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = now_.find(std::this_thread::get_id());
    return it == now_.end() ? 0 : it->second;
}

void VirtualClock::Advance(uint32_t ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    now_[std::this_thread::get_id()] += ms;
}
