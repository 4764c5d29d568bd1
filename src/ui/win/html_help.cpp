#include "ui/win/html_help.h"

namespace {

constexpr char kHtmlHelpServerKey[] =
    "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
constexpr UINT kHhDisplayTopic = 0;
constexpr DWORD kMaxServerPath = 260;

// The registered path of the HTML Help control, or an empty text.
void ReadServerPath(char (&path)[kMaxServerPath + 1]) {
    path[0] = '\0';
    UniqueRegKey key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, 0, KEY_QUERY_VALUE, key.put()) !=
        ERROR_SUCCESS)
        return;
    DWORD type = 0;
    DWORD size = kMaxServerPath;
    if (RegQueryValueExA(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path),
                         &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        path[0] = '\0';
        return;
    }
    // The registry does not promise a terminator within the bytes it returns.
    path[size < kMaxServerPath ? size : kMaxServerPath] = '\0';
}

}  // namespace

void HtmlHelpLauncher::Load() {
    tried_ = true;
    char path[kMaxServerPath + 1];
    ReadServerPath(path);
    if (path[0] != '\0') library_.reset(LoadLibraryA(path));
    if (!library_) library_.reset(LoadLibraryA("hhctrl.ocx"));
    if (!library_) return;
    htmlHelp_ = reinterpret_cast<HtmlHelpAFn>(
        reinterpret_cast<void*>(GetProcAddress(library_.get(), "HtmlHelpA")));
    if (!htmlHelp_) library_.reset();
}

void HtmlHelpLauncher::Show(const char* file) {
    if (!tried_) Load();
    if (htmlHelp_) htmlHelp_(GetDesktopWindow(), file, kHhDisplayTopic, 0);
}
