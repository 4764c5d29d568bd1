#include "ui/win/timer_resolution.h"

namespace {

constexpr unsigned kFinestPeriodMs = 1;
constexpr unsigned kTimerNoError = 0;  // TIMERR_NOERROR
// How much of a pause is left to the performance counter: one tick of a 1 ms timer and
// the wake-up delay.
constexpr int64_t kYieldMarginMs = 2;

}  // namespace

ScopedTimerResolution::ScopedTimerResolution()
    : winmm_(LoadLibraryExA("winmm.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    if (!winmm_) return;
    auto begin = reinterpret_cast<PeriodFn>(
        reinterpret_cast<void*>(GetProcAddress(winmm_.get(), "timeBeginPeriod")));
    end_ = reinterpret_cast<PeriodFn>(
        reinterpret_cast<void*>(GetProcAddress(winmm_.get(), "timeEndPeriod")));
    if (begin && end_ && begin(kFinestPeriodMs) == kTimerNoError) period_ = kFinestPeriodMs;
}

ScopedTimerResolution::~ScopedTimerResolution() {
    if (period_ != 0) end_(period_);
}

void SleepAtLeast(uint32_t ms) {
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const int64_t ticksPerMs = frequency.QuadPart / 1000;
    const int64_t deadline = start.QuadPart + (int64_t{ms} * frequency.QuadPart + 999) / 1000;
    for (;;) {
        QueryPerformanceCounter(&now);
        const int64_t left = deadline - now.QuadPart;
        if (left <= 0) return;
        // Sleep wakes on a timer tick, up to a tick late: it covers the bulk of the pause,
        // and the last stretch is waited out here.
        const int64_t leftMs = ticksPerMs > 0 ? left / ticksPerMs : 0;
        if (leftMs > kYieldMarginMs)
            ::Sleep(static_cast<DWORD>(leftMs - kYieldMarginMs));
        else
            YieldProcessor();
    }
}
