#pragma once
// The time a run goes by: its pauses and the monotonic clock it measures with. The
// operating-system layer gives the real one (os/os.h); tests give a virtual clock.

#include <cstdint>

class RunClock {
  public:
    virtual ~RunClock() = default;
    // Blocks the calling thread for at least `ms` milliseconds.
    virtual void Sleep(uint32_t ms) = 0;
    // Milliseconds of a monotonic clock.
    virtual uint64_t NowMs() = 0;
};
