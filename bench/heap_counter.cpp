#include "heap_counter.h"

#include <malloc.h>

#include <atomic>
#include <cerrno>

// glibc's own entry points, which the replacements below forward to.
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
void* __libc_memalign(size_t, size_t);
void* __libc_valloc(size_t);
void* __libc_pvalloc(size_t);
}

namespace {

// The program is single-threaded, Google Benchmark's runner too; atomics keep the counts
// sound should a library start a thread.
std::atomic<int64_t> g_live{0};
std::atomic<int64_t> g_peak{0};
std::atomic<uint64_t> g_allocations{0};
std::atomic<uint64_t> g_allocatedBytes{0};
std::atomic<size_t> g_largest{0};
std::atomic<int64_t> g_programLive{0};
std::atomic<int64_t> g_programPeak{0};
thread_local int t_excluded = 0;

void Added(void* p) {
    if (!p) return;
    const size_t size = malloc_usable_size(p);
    const int64_t live = g_live.fetch_add(static_cast<int64_t>(size)) + static_cast<int64_t>(size);
    int64_t peak = g_peak.load();
    while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
    }
    if (t_excluded > 0) return;
    const int64_t own =
        g_programLive.fetch_add(static_cast<int64_t>(size)) + static_cast<int64_t>(size);
    int64_t ownPeak = g_programPeak.load();
    while (own > ownPeak && !g_programPeak.compare_exchange_weak(ownPeak, own)) {
    }
    g_allocations.fetch_add(1);
    g_allocatedBytes.fetch_add(size);
    size_t largest = g_largest.load();
    while (size > largest && !g_largest.compare_exchange_weak(largest, size)) {
    }
}

void Removed(void* p) {
    if (!p) return;
    const auto size = static_cast<int64_t>(malloc_usable_size(p));
    g_live.fetch_sub(size);
    // What a scope frees was, as a rule, allocated by the same side.
    if (t_excluded == 0) g_programLive.fetch_sub(size);
}

}  // namespace

HeapCount ReadHeapCount() {
    HeapCount c;
    c.live = g_live.load();
    c.peak = g_peak.load();
    c.allocations = g_allocations.load();
    c.allocatedBytes = g_allocatedBytes.load();
    c.largest = g_largest.load();
    c.programLive = g_programLive.load();
    c.programPeak = g_programPeak.load();
    return c;
}

void ResetHeapPeak() {
    g_peak.store(g_live.load());
    g_programPeak.store(g_programLive.load());
    g_allocations.store(0);
    g_allocatedBytes.store(0);
    g_largest.store(0);
}

ExcludeFromHeapCount::ExcludeFromHeapCount() {
    ++t_excluded;
}
ExcludeFromHeapCount::~ExcludeFromHeapCount() {
    --t_excluded;
}

extern "C" {

void* malloc(size_t size) {
    void* p = __libc_malloc(size);
    Added(p);
    return p;
}

void* calloc(size_t count, size_t size) {
    void* p = __libc_calloc(count, size);
    Added(p);
    return p;
}

void* realloc(void* old, size_t size) {
    const size_t oldSize = old ? malloc_usable_size(old) : 0;
    void* p = __libc_realloc(old, size);
    if (p || size == 0) {
        g_live.fetch_sub(static_cast<int64_t>(oldSize));
        if (t_excluded == 0) g_programLive.fetch_sub(static_cast<int64_t>(oldSize));
        Added(p);
    }
    return p;
}

void free(void* p) {
    Removed(p);
    __libc_free(p);
}

void* memalign(size_t alignment, size_t size) {
    void* p = __libc_memalign(alignment, size);
    Added(p);
    return p;
}

void* aligned_alloc(size_t alignment, size_t size) {
    return memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) {
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
    void* p = memalign(alignment, size);
    if (!p) return ENOMEM;
    *out = p;
    return 0;
}

void* valloc(size_t size) {
    void* p = __libc_valloc(size);
    Added(p);
    return p;
}

void* pvalloc(size_t size) {
    void* p = __libc_pvalloc(size);
    Added(p);
    return p;
}

}  // extern "C"
