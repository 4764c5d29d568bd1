#pragma once
// A VISA shared library loaded with dlopen and bound by the standard names. Linux (and
// other POSIX) build only; LoadVisaLibrary (visa_loader.h) finds the file.

#include <string>

#include "base/unique_handle.h"
#include "visa/visa_library.h"

struct SharedObjectTraits {
    using type = void*;
    static type invalid() noexcept { return nullptr; }
    static void close(type library) noexcept;  // dlclose
};
using UniqueSharedObject = UniqueHandle<SharedObjectTraits>;

class PosixVisaLibrary : public VisaLibrary {
  public:
    // Binds every entry point of `library`, which must be loaded. An entry the library
    // lacks answers its call with VI_ERROR_LIBRARY_NFOUND.
    explicit PosixVisaLibrary(UniqueSharedObject library);

#define VISA_POSIX_DECLARE_METHOD(ordinal, name, params, args) ViStatus name params override;
    VISA_FUNCTIONS(VISA_POSIX_DECLARE_METHOD)
#undef VISA_POSIX_DECLARE_METHOD

    // Entries bound to an address (at most eight).
    int boundCount() const;

  private:
#define VISA_POSIX_POINTER_TYPE(ordinal, name, params, args) \
    using name##Fn = ViStatus(*) params;                     \
    name##Fn name##_ = nullptr;
    VISA_FUNCTIONS(VISA_POSIX_POINTER_TYPE)
#undef VISA_POSIX_POINTER_TYPE

    UniqueSharedObject library_;
};

// dlopen of `file` (a path, or a bare name searched as the dynamic linker does); an
// invalid handle when it cannot be loaded.
UniqueSharedObject OpenSharedObject(const std::string& file);
