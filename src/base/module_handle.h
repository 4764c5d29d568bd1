#pragma once
// An owned Windows module (a loaded DLL), freed with FreeLibrary. HMODULE is declared
// here without windows.h, so that including this header changes no macros for the files
// that include it; the close lives in win/module_handle.cpp.

#include "base/unique_handle.h"

struct HINSTANCE__;
struct ModuleTraits {
    using type = HINSTANCE__*;
    static type invalid() noexcept { return nullptr; }
    static void close(type module) noexcept;
};
using UniqueModule = UniqueHandle<ModuleTraits>;
