#include "visa/posix/posix_visa_library.h"

#include <dlfcn.h>

#include <utility>

void SharedObjectTraits::close(type library) noexcept {
    dlclose(library);
}

UniqueSharedObject OpenSharedObject(const std::string& file) {
    // Every symbol resolved now: a library that cannot work fails here, not mid-update.
    return UniqueSharedObject(dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL));
}

PosixVisaLibrary::PosixVisaLibrary(UniqueSharedObject library) : library_(std::move(library)) {
#define VISA_POSIX_BIND(ordinal, name, params, args) \
    name##_ = reinterpret_cast<name##Fn>(dlsym(library_.get(), #name));
    VISA_FUNCTIONS(VISA_POSIX_BIND)
#undef VISA_POSIX_BIND
}

int PosixVisaLibrary::boundCount() const {
    int count = 0;
#define VISA_POSIX_COUNT(ordinal, name, params, args) count += name##_ != nullptr;
    VISA_FUNCTIONS(VISA_POSIX_COUNT)
#undef VISA_POSIX_COUNT
    return count;
}

#define VISA_POSIX_DEFINE_METHOD(ordinal, name, params, args)   \
    ViStatus PosixVisaLibrary::name params {                    \
        if (name##_ == nullptr) return VI_ERROR_LIBRARY_NFOUND; \
        return name##_ args;                                    \
    }
VISA_FUNCTIONS(VISA_POSIX_DEFINE_METHOD)
#undef VISA_POSIX_DEFINE_METHOD
