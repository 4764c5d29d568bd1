#pragma once
// Counts the C heap of the whole process (operator new ends up here too) by standing in
// for malloc and friends. Live bytes are usable sizes, so they include the allocator's
// rounding. Calls made inside an ExcludeFromHeapCount scope (the simulated instrument's
// own bookkeeping) are counted apart, so that what the program allocates stays visible.

#include <cstddef>
#include <cstdint>

struct HeapCount {
    int64_t live = 0;             // bytes held now
    int64_t peak = 0;             // highest `live` since the last ResetHeapPeak()
    uint64_t allocations = 0;     // program allocations since the last ResetHeapPeak()
    uint64_t allocatedBytes = 0;  // their bytes
    size_t largest = 0;           // the largest of them
    // The same two figures for the program alone: what is allocated and freed outside an
    // ExcludeFromHeapCount scope.
    int64_t programLive = 0;
    int64_t programPeak = 0;
};

HeapCount ReadHeapCount();
// Starts a new measurement: the peak becomes the present live size, the counts restart.
void ResetHeapPeak();

class ExcludeFromHeapCount {
  public:
    ExcludeFromHeapCount();
    ~ExcludeFromHeapCount();
    ExcludeFromHeapCount(const ExcludeFromHeapCount&) = delete;
    ExcludeFromHeapCount& operator=(const ExcludeFromHeapCount&) = delete;
};
