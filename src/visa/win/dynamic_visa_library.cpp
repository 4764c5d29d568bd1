#include "visa/win/dynamic_visa_library.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "base/wide_text.h"

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

// The loader's reason for the last failure, as the system words it.
std::string LastErrorText() {
    const DWORD error = GetLastError();
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring wide = length ? std::wstring(text, length) : L"error " + std::to_wstring(error);
    LocalFree(text);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L'.'))
        wide.pop_back();
    return Utf8FromWide(wide);
}

// A UTF-8 path, loaded by its wide name: folders outside the ANSI code page work.
HMODULE LoadLibraryFile(const std::string& path, std::string& reason) {
    const std::wstring wide = WideFromUtf8(path);
    if (path.empty() || GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) {
        reason = path.empty() ? "no system directory" : LastErrorText();
        return nullptr;
    }
    // No "cannot find DLL" boxes: a missing library is an ordinary failure here.
    const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryExW(wide.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) reason = LastErrorText();
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
    wchar_t full[MAX_PATH];
    const DWORD length = GetFullPathNameW(WideFromUtf8(path).c_str(), MAX_PATH, full, nullptr);
    return length == 0 || length >= MAX_PATH ? path : Utf8FromWide(std::wstring(full, length));
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
    std::string reason;
    module_.reset(LoadLibraryFile(path, reason));
    if (!module_) {
        failures_ += (failures_.empty() ? "" : ", ") + path + " (" + reason + ")";
        return false;
    }
    path_ = path;
    Bind([this](int ordinal, const char* name) {
        return reinterpret_cast<Entry>(BindEntry(module_.get(), static_cast<WORD>(ordinal), name));
    });
    return true;
}
