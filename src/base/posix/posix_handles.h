#pragma once
// The POSIX handle kinds (file descriptors). Not for the Windows build.

#include <unistd.h>

#include "base/unique_handle.h"

struct FdTraits {
    using type = int;
    static type invalid() noexcept { return -1; }
    static void close(type fd) noexcept { ::close(fd); }
};
using UniqueFd = UniqueHandle<FdTraits>;
