#include "base/module_handle.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <type_traits>

static_assert(std::is_same<ModuleTraits::type, HMODULE>::value, "HMODULE traits");

void ModuleTraits::close(type module) noexcept {
    FreeLibrary(module);
}
