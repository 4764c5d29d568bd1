#include "os/win/sleep_at_least.h"

#include "os/win/os_windows.h"

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
