#pragma once
// The installed VISA library, loaded at run time from the system directory (or, for the
// command line, from a given file) and bound by the standard ordinals. Windows build only.

#include <string>

#include "base/module_handle.h"
#include "visa/bound_visa_library.h"

class DynamicVisaLibrary : public BoundVisaLibrary {
  public:
    // Loads visa32.dll, else visa64.dll, from the system directory only. A library that is
    // missing, or an entry it lacks, answers VI_ERROR_LIBRARY_NFOUND.
    DynamicVisaLibrary();
    // Loads the file at `path` (UTF-8, made a full path), bound the same way.
    explicit DynamicVisaLibrary(const std::string& path);
    DynamicVisaLibrary(const DynamicVisaLibrary&) = delete;
    DynamicVisaLibrary& operator=(const DynamicVisaLibrary&) = delete;

    bool loaded() const { return module_.valid(); }
    // Full path of the loaded library; empty when none was found.
    const std::string& path() const { return path_; }
    // The full paths tried, separated by ", ".
    const std::string& tried() const { return tried_; }
    // Those that did not load, each followed by the system's reason in parentheses.
    const std::string& failures() const { return failures_; }

  private:
    bool Load(const std::string& path);
    UniqueModule module_;
    std::string path_;
    std::string tried_;
    std::string failures_;
};
