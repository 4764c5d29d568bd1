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
    Bind([this](int, const char* name) {
        return reinterpret_cast<Entry>(dlsym(library_.get(), name));
    });
}
