#pragma once
// Pauses that last as long as asked, and not much longer. Windows ends a Sleep on a tick
// of the system timer, 15.6 ms apart by default: Sleep(25) then lasts about 31 ms and
// Sleep(10) about 16 ms, which over a whole update adds a quarter to the instrument's
// own pace, and a pause shorter than a tick may even end early.

#include <cstdint>

#include "ui/win/win_handles.h"

// Asks for a 1 ms system timer while it lives (timeBeginPeriod) and gives the request back
// when it ends (timeEndPeriod). winmm is loaded from the system directory; without it,
// or when it refuses, the object does nothing and pauses merely last longer.
class ScopedTimerResolution {
  public:
    ScopedTimerResolution();
    ~ScopedTimerResolution();
    ScopedTimerResolution(const ScopedTimerResolution&) = delete;
    ScopedTimerResolution& operator=(const ScopedTimerResolution&) = delete;

    bool active() const { return period_ != 0; }

  private:
    using PeriodFn = unsigned(__stdcall*)(unsigned);
    UniqueLibrary winmm_;
    PeriodFn end_ = nullptr;
    unsigned period_ = 0;  // the period asked for, 0 when none was granted
};

// Blocks the thread for at least `ms` milliseconds by the performance counter, sleeping
// again for whatever is left should Sleep return early. With the 1 ms timer a pause lasts
// up to about a millisecond longer than asked; the processor stays free meanwhile.
void SleepAtLeast(uint32_t ms);
