#pragma once
// Owned byte buffers from the C heap: allocation failure is a null handle, never
// an exception, so callers can turn it into an error code.

#include <cstdint>
#include <cstdlib>

#include "base/unique_handle.h"

struct HeapBufferTraits {
    using type = uint8_t*;
    static type invalid() noexcept { return nullptr; }
    static void close(type p) noexcept { std::free(p); }
};
using HeapBuffer = UniqueHandle<HeapBufferTraits>;

// Zero-filled buffer of `size` bytes, or an empty handle when no memory is left.
inline HeapBuffer AllocateZeroed(size_t size) noexcept {
    return HeapBuffer(static_cast<uint8_t*>(std::calloc(size ? size : 1, 1)));
}
