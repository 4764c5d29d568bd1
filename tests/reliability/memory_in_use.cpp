#include "memory_in_use.h"

#if defined(__SANITIZE_ADDRESS__)
#define FWU_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FWU_ASAN 1
#endif
#endif

#if defined(FWU_ASAN)
#include <cstddef>
// Provided by the AddressSanitizer runtime of both gcc and clang; declared here because
// gcc ships no header for it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#elif defined(__GLIBC__)
#include <malloc.h>
#endif

int64_t MemoryInUse() {
#if defined(FWU_ASAN)
    return static_cast<int64_t>(__sanitizer_get_current_allocated_bytes());
#elif defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
    const struct mallinfo2 info = mallinfo2();
    return static_cast<int64_t>(info.uordblks + info.hblkhd);
#else
    return -1;
#endif
}
