#pragma once
// Finding and loading a VISA library at run time, for the command line. Each platform
// has its own backend (visa/win/ binds by the standard ordinals, checked by name;
// visa/posix/ binds by name with dlopen); both give the same VisaLibrary.
//
// `path` empty means the platform's usual places:
//  - Windows: visa32.dll, else visa64.dll, from the system directory only;
//  - Linux: $FWTOOL_VISA when set, else libvisa.so, libvisa.so.7, libvisa.so.0,
//    libiovisa.so, librsvisa.so, tried in that order.
// A non-empty `path` loads exactly that file.
//
// Returns nullptr when no library could be loaded; `tried` then names, separated by
// ", ", every file that was tried. A library that loads but lacks an entry point is
// returned all the same: that call then fails with VI_ERROR_LIBRARY_NFOUND.

#include <memory>
#include <string>

#include "visa/visa_library.h"

std::unique_ptr<VisaLibrary> LoadVisaLibrary(const std::string& path, std::string& tried);
