#pragma once
// Bytes of heap the process is using now, for growth checks over long runs: from the
// sanitizer's allocator when it replaces malloc, from glibc otherwise. Unknown (-1) where
// neither is available, e.g. on Windows.

#include <cstdint>

int64_t MemoryInUse();
