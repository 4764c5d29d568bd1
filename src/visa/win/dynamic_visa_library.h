#pragma once
// The installed VISA library, loaded at run time from the system directory (or, for the
// command line, from a given file) and bound by the standard ordinals. Windows build only.

#include <string>

#include "base/unique_handle.h"
#include "visa/visa_library.h"

// HMODULE without windows.h, so that including this header changes no macros for the
// files that include it.
struct HINSTANCE__;
struct ModuleTraits {
    using type = HINSTANCE__*;
    static type invalid() noexcept { return nullptr; }
    static void close(type module) noexcept;  // FreeLibrary
};
using UniqueModule = UniqueHandle<ModuleTraits>;

class DynamicVisaLibrary : public VisaLibrary {
  public:
    // Loads visa32.dll, else visa64.dll, from the system directory only. A library that is
    // missing, or an entry it lacks, answers VI_ERROR_LIBRARY_NFOUND.
    DynamicVisaLibrary();
    // Loads the file at `path` (made a full path), bound the same way.
    explicit DynamicVisaLibrary(const std::string& path);
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
    // The full paths tried, separated by ", ".
    const std::string& tried() const {
        return tried_;
    }
    // Entries bound to an address (at most eight).
    int boundCount() const;

  private:
    bool Load(const std::string& path);

#define VISA_WIN_POINTER_TYPE(ordinal, name, params, args) \
    using name##Fn = ViStatus(__stdcall*) params;          \
    name##Fn name##_ = nullptr;
    VISA_FUNCTIONS(VISA_WIN_POINTER_TYPE)
#undef VISA_WIN_POINTER_TYPE

    UniqueModule module_;
    std::string path_;
    std::string tried_;
};
