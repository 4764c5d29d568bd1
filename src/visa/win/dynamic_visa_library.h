#pragma once
// The installed VISA library, loaded at run time from the system directory and bound by
// the standard ordinals. Windows build only.

#include <string>

#include "base/module_handle.h"
#include "visa/visa_library.h"

class DynamicVisaLibrary : public VisaLibrary {
  public:
    // Loads visa32.dll, else visa64.dll, from the system directory only. A library that is
    // missing leaves every call answering VI_ERROR_LIBRARY_NFOUND.
    DynamicVisaLibrary();
    DynamicVisaLibrary(const DynamicVisaLibrary&) = delete;
    DynamicVisaLibrary& operator=(const DynamicVisaLibrary&) = delete;

#define VISA_WIN_DECLARE_METHOD(ordinal, name, params, args) ViStatus name params override;
    VISA_FUNCTIONS(VISA_WIN_DECLARE_METHOD)
#undef VISA_WIN_DECLARE_METHOD

    bool loaded() const {
        return module_.valid();
    }
    // Full path of the loaded library; empty when none was found.
    const std::string& path() const {
        return path_;
    }
    // Entries bound to an address (at most eight).
    int boundCount() const;

  private:
#define VISA_WIN_POINTER_TYPE(ordinal, name, params, args) \
    using name##Fn = ViStatus(__stdcall*) params;          \
    name##Fn name##_ = nullptr;
    VISA_FUNCTIONS(VISA_WIN_POINTER_TYPE)
#undef VISA_WIN_POINTER_TYPE

    UniqueModule module_;
    std::string path_;
};
