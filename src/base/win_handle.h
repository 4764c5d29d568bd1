#pragma once
// An owned Windows kernel handle (a file, an event), closed with CloseHandle. HANDLE is
// declared here without windows.h, as in module_handle.h; the close lives in
// win/win_handle.cpp.

#include <cstdint>

#include "base/unique_handle.h"

struct WinHandleTraits {
    using type = void*;
    // INVALID_HANDLE_VALUE: what CreateFile answers on failure.
    static type invalid() noexcept { return reinterpret_cast<type>(intptr_t{-1}); }
    static void close(type handle) noexcept;
};
using UniqueWinHandle = UniqueHandle<WinHandleTraits>;
