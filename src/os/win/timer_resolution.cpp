#include "os/win/timer_resolution.h"

namespace {

constexpr unsigned kFinestPeriodMs = 1;
constexpr unsigned kTimerNoError = 0;  // TIMERR_NOERROR

}  // namespace

ScopedTimerResolution::ScopedTimerResolution()
    : winmm_(LoadLibraryExW(L"winmm.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
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
