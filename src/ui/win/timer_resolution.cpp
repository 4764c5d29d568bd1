#include "ui/win/timer_resolution.h"

namespace {

constexpr unsigned kFinestPeriodMs = 1;
constexpr unsigned kTimerNoError = 0;  // TIMERR_NOERROR

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
    const int64_t wanted = (int64_t{ms} * frequency.QuadPart + 999) / 1000;
    ::Sleep(ms);
    for (;;) {
        QueryPerformanceCounter(&now);
        const int64_t left = wanted - (now.QuadPart - start.QuadPart);
        if (left <= 0) return;
        // Woken before the time was up (a pause shorter than a timer tick can be): sleep
        // again for what is left, rounded up to whole milliseconds.
        ::Sleep(static_cast<DWORD>((left * 1000 + frequency.QuadPart - 1) / frequency.QuadPart));
    }
}
