#include "visa/win/dynamic_visa_library.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace {

// The library's full path in the system directory. A bare name would let the loader pick
// up a stray copy from the application or current folder.
std::string SystemLibraryPath(const char* fileName) {
    char directory[MAX_PATH];
    const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();
    std::string path(directory, length);
    if (path.back() != '\\') path += '\\';
    return path + fileName;
}

HMODULE LoadLibraryFile(const std::string& path) {
    if (path.empty() || GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return nullptr;
    // No "cannot find DLL" boxes: a missing library is an ordinary failure here.
    const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    SetErrorMode(previousMode);
    return module;
}

// The standard ordinal, unless the library exports the name at another address: ordinals
// are standard only for 32-bit libraries, names for all of them.
FARPROC BindEntry(HMODULE module, WORD ordinal, const char* name) {
    FARPROC byOrdinal = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
    FARPROC byName = GetProcAddress(module, name);
    return byName != nullptr ? byName : byOrdinal;
}

// A full path: a bare or relative name would let the loader search other folders.
std::string FullPath(const std::string& path) {
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return length == 0 || length >= MAX_PATH ? path : std::string(full, length);
}

}  // namespace

DynamicVisaLibrary::DynamicVisaLibrary() {
    for (const char* fileName : {"visa32.dll", "visa64.dll"})
        if (Load(SystemLibraryPath(fileName))) break;
}

DynamicVisaLibrary::DynamicVisaLibrary(const std::string& path) {
    Load(FullPath(path));
}

bool DynamicVisaLibrary::Load(const std::string& path) {
    tried_ += (tried_.empty() ? "" : ", ") + path;
    module_.reset(LoadLibraryFile(path));
    if (!module_) return false;
    path_ = path;
    Bind([this](int ordinal, const char* name) {
        return reinterpret_cast<Entry>(BindEntry(module_.get(), static_cast<WORD>(ordinal), name));
    });
    return true;
}
