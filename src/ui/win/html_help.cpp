#include "ui/win/html_help.h"

namespace {

constexpr wchar_t kHtmlHelpServerKey[] =
    L"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
constexpr UINT kHhDisplayTopic = 0;
constexpr DWORD kMaxServerPath = 260;

// The registered path of the HTML Help control, or an empty text.
void ReadServerPath(wchar_t (&path)[kMaxServerPath + 1]) {
    path[0] = L'\0';
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, 0, KEY_QUERY_VALUE, key.put()) !=
        ERROR_SUCCESS)
        return;
    DWORD type = 0;
    DWORD size = kMaxServerPath * sizeof(wchar_t);  // bytes
    if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path),
                         &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        path[0] = L'\0';
        return;
    }
    // The registry does not promise a terminator within the bytes it returns.
    const DWORD chars = size / sizeof(wchar_t);
    path[chars < kMaxServerPath ? chars : kMaxServerPath] = L'\0';
}

}  // namespace

void HtmlHelpLauncher::Load() {
    tried_ = true;
    wchar_t path[kMaxServerPath + 1];
    ReadServerPath(path);
    if (path[0] != L'\0') library_.reset(LoadLibraryW(path));
    if (!library_) library_.reset(LoadLibraryW(L"hhctrl.ocx"));
    if (!library_) return;
    htmlHelp_ = reinterpret_cast<HtmlHelpWFn>(
        reinterpret_cast<void*>(GetProcAddress(library_.get(), "HtmlHelpW")));
    if (!htmlHelp_) library_.reset();
}

void HtmlHelpLauncher::Show(const wchar_t* file) {
    if (!tried_) Load();
    if (htmlHelp_) htmlHelp_(GetDesktopWindow(), file, kHhDisplayTopic, 0);
}
