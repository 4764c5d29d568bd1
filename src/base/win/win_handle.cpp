#include "base/win_handle.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <type_traits>

static_assert(std::is_same<WinHandleTraits::type, HANDLE>::value, "HANDLE traits");

void WinHandleTraits::close(type handle) noexcept {
    CloseHandle(handle);
}
