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
// ", ", every file that was tried, each with the loader's reason in parentheses
// ("libvisa.so (libvisa.so: cannot open shared object file: No such file or directory)" as
// dlerror() says it, without the file name again; on Windows FormatMessage's text). A library that
// loads but lacks an entry point is returned all the same: that call then fails with
// VI_ERROR_LIBRARY_NFOUND.
//
// Backends. Exactly one backend is linked into a build, as the target fw_visa_loader
// (visa/win/visa_win.cmake or visa/posix/visa_posix.cmake). A backend provides:
//  - LoadVisaLibrary itself, with the search order above for its platform. It may be
//    called from several threads at once (one per instrument) and keeps no state
//    between calls: each call loads the library again and hands over the handle.
//  - A VisaLibrary that owns the library handle (UniqueHandle with the platform's
//    close traits; the library is unloaded when the object is destroyed) and binds the
//    eight entry points of VISA_FUNCTIONS (visa_functions.h) once, when it is made.
//    Names and parameter types come from that list only; the calling convention is
//    the platform's standard one for VISA (__stdcall on 32-bit Windows, the C
//    convention elsewhere).
//  - Calls forwarded unchanged: arguments, outputs and status are the library's own;
//    an entry the library lacks answers VI_ERROR_LIBRARY_NFOUND and writes no output.
//  - On failure, `tried` in the form the platform's user would type (full paths on
//    Windows, the names given to dlopen on Linux), each followed by the reason.
// Adding a platform: a folder visa/<platform>/ with its .cmake file defining
// fw_visa_loader, included from src/CMakeLists.txt for that platform.

#include <memory>
#include <string>

#include "visa/visa_library.h"

std::unique_ptr<VisaLibrary> LoadVisaLibrary(const std::string& path, std::string& tried);

// The command line's choice of backend: as LoadVisaLibrary, with what Linux has besides.
// There, `path` "usbtmc" (or, with `path` empty, $FWTOOL_VISA "usbtmc") chooses the kernel's
// USBTMC driver, and so does an empty `path` with $FWTOOL_VISA unset when no vendor library
// loads. `inUse` names the backend given: the library file, or kVisaBackendUsbtmc.
std::unique_ptr<VisaLibrary> LoadVisaBackend(const std::string& path, std::string& tried,
                                             std::string& inUse);

// What --visa and $FWTOOL_VISA name the built-in backend by (Linux).
constexpr char kVisaBackendUsbtmc[] = "usbtmc";
