#pragma once
// An owned C stdio stream.

#include <cstdio>

#include "base/unique_handle.h"

struct StdioFileTraits {
    using type = std::FILE*;
    static type invalid() noexcept { return nullptr; }
    static void close(type f) noexcept { std::fclose(f); }
};
using StdioFile = UniqueHandle<StdioFileTraits>;
