#pragma once
// A finer system timer while an update runs. Windows ends a Sleep on a tick of the system
// timer, 15.6 ms apart by default: Sleep(25) then lasts about 31 ms and Sleep(10) about
// 16 ms, which over a whole update adds a quarter to the instrument's own pace.

#include "base/module_handle.h"
#include "os/win/os_windows.h"

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
    UniqueModule winmm_;
    PeriodFn end_ = nullptr;
    unsigned period_ = 0;  // the period asked for, 0 when none was granted
};
