#pragma once
// Pauses that last as long as asked: a pause shorter than a tick of the system timer may
// end early (see timer_resolution.h for the tick).

#include <cstdint>

// Blocks the thread for at least `ms` milliseconds by the performance counter, sleeping
// again for whatever is left should Sleep return early. With the 1 ms timer a pause lasts
// up to about a millisecond longer than asked; the processor stays free meanwhile.
void SleepAtLeast(uint32_t ms);
