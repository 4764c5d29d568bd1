#pragma once
// A VISA shared library loaded with dlopen and bound by the standard names. Linux (and
// other POSIX) build only; LoadVisaLibrary (visa_loader.h) finds the file.

#include <string>

#include "base/unique_handle.h"
#include "visa/bound_visa_library.h"

struct SharedObjectTraits {
    using type = void*;
    static type invalid() noexcept { return nullptr; }
    static void close(type library) noexcept;  // dlclose
};
using UniqueSharedObject = UniqueHandle<SharedObjectTraits>;

class PosixVisaLibrary : public BoundVisaLibrary {
  public:
    // Binds every entry point of `library`, which must be loaded.
    explicit PosixVisaLibrary(UniqueSharedObject library);

  private:
    UniqueSharedObject library_;
};

// dlopen of `file` (a path, or a bare name searched as the dynamic linker does); an
// invalid handle when it cannot be loaded.
UniqueSharedObject OpenSharedObject(const std::string& file);
