// How long Windows pauses really last: Sleep(10) and Sleep(25) as the writer asks for
// them, at the default timer period, with a 1 ms period, and as the dialog pauses
// (SleepAtLeast under a ScopedTimerResolution). Prints one tab-separated row per figure
// for the benchmark table, and what a full-size update's pauses would come to.
//
//   sleep_bench.exe [pauses per measurement]

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "os/win/sleep_at_least.h"
#include "os/win/timer_resolution.h"

namespace {

// The full-size K4417F file: 1664 data blocks of 1 KiB, 48 frames, one switch.
constexpr double kDataBlocks = 1664, kFrames = 48, kSwitchMs = 3500;

struct Durations {
    double meanMs = 0, leastMs = 1e30, mostMs = 0;
    double cpuMs = 0;  // processor time per pause
};

double ProcessCpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& t) {
        return double((uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime) / 1e4;
    };
    return ms(kernel) + ms(user);
}

template <typename Pause>
Durations Measure(uint32_t ms, int count, Pause pause) {
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    Durations d;
    const double cpuBefore = ProcessCpuMs();
    for (int i = 0; i < count; ++i) {
        QueryPerformanceCounter(&before);
        pause(ms);
        QueryPerformanceCounter(&after);
        const double took =
            1e3 * double(after.QuadPart - before.QuadPart) / double(frequency.QuadPart);
        d.meanMs += took / count;
        d.leastMs = std::min(d.leastMs, took);
        d.mostMs = std::max(d.mostMs, took);
    }
    d.cpuMs = (ProcessCpuMs() - cpuBefore) / count;
    return d;
}

void Row(const char* how, int count, void (*pause)(uint32_t)) {
    const Durations d10 = Measure(10, count, pause);
    const Durations d25 = Measure(25, count, pause);
    const double floor = kDataBlocks * 25 + kFrames * 10 + kSwitchMs;
    const double projected = kDataBlocks * d25.meanMs + kFrames * d10.meanMs + kSwitchMs;
    // Wine does not keep Windows' 15.6 ms timer tick, so the projection is shown for
    // information; what holds everywhere is that no pause ends early.
    const bool neverShort = d10.leastMs >= 10 && d25.leastMs >= 25;
    std::printf(
        "Windows pauses under Wine, %s\tSleep(10) %.2f ms mean, %.2f least; "
        "Sleep(25) %.2f mean, %.2f least, %.2f most, CPU %.2f ms\tnever shorter (ratio: a full "
        "update's pauses / floor)\t%.4fx\t%s\n",
        how, d10.meanMs, d10.leastMs, d25.meanMs, d25.leastMs, d25.mostMs, d25.cpuMs,
        projected / floor, neverShort ? "pass" : "MISS");
}

void PlainSleep(uint32_t ms) {
    ::Sleep(ms);
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
    Row("plain Sleep, default timer", count, PlainSleep);
    {
        ScopedTimerResolution finer;
        Row(finer.active() ? "plain Sleep, 1 ms timer" : "plain Sleep, 1 ms timer refused", count,
            PlainSleep);
        Row("SleepAtLeast, 1 ms timer (the dialog)", count, SleepAtLeast);
    }
    return 0;
}
