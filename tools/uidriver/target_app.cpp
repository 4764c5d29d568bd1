#include "target_app.h"

#include <cstring>

namespace {

constexpr char kDialogCaption[] = "K4417F Firmware Update Utility";
constexpr int kMessageBoxTextId = 0xFFFF;
constexpr int kFileNameBoxId = 1148;

bool IsClass(HWND window, const char* name) {
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    return std::strcmp(className, name) == 0;
}

struct Search {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (search->processId == 0 || owner == search->processId) search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD processId) {
    Search search{processId, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool HasDescendant(HWND window, int id) {
    struct Find {
        int id;
        bool found;
    } find{id, false};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM param) -> BOOL {
            auto* f = reinterpret_cast<Find*>(param);
            if (GetDlgCtrlID(child) == f->id) f->found = true;
            return !f->found;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.found;
}

}  // namespace

std::string WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kWaitMs, &length))
        return std::string();
    std::vector<char> text(length + 2, '\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_NORMAL, kWaitMs, &copied);
    return std::string(text.data(), copied);
}

TargetApp::~TargetApp() {
    if (process_) CloseHandle(process_);
}

bool TargetApp::Start(const std::string& exe, std::string& error) {
    std::string folder = exe.substr(0, exe.find_last_of("\\/") + 1);
    std::string commandLine = "\"" + exe + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        error = "cannot start " + exe + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    started_ = true;
    if (!FindDialog(kWaitMs)) {
        error = "the main dialog did not appear";
        return false;
    }
    return true;
}

bool TargetApp::Attach(std::string& error) {
    if (!FindDialog(kWaitMs)) {
        error = "no running program with the main dialog";
        return false;
    }
    GetWindowThreadProcessId(dialog_, &processId_);
    process_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId_);
    return true;
}

bool TargetApp::FindDialog(DWORD ms) {
    return WaitFor(ms,
                   [&] {
                       for (HWND window : TopLevelWindows(processId_)) {
                           if (IsClass(window, "#32770") &&
                               WindowText(window).rfind(kDialogCaption, 0) == 0 &&
                               IsWindowVisible(window)) {
                               dialog_ = window;
                               return true;
                           }
                       }
                       // A program that ended cannot show its dialog any more.
                       return processId_ != 0 && !Alive();
                   }) &&
           dialog_ != nullptr;
}

HWND TargetApp::FindMessageBox() const {
    for (HWND window : TopLevelWindows(processId_)) {
        if (window != dialog_ && IsClass(window, "#32770") && IsWindowVisible(window) &&
            GetDlgItem(window, kMessageBoxTextId) && !HasDescendant(window, kFileNameBoxId))
            return window;
    }
    return nullptr;
}

HWND TargetApp::FindFileDialog() const {
    for (HWND window : TopLevelWindows(processId_)) {
        if (window != dialog_ && IsClass(window, "#32770") && IsWindowVisible(window) &&
            HasDescendant(window, kFileNameBoxId))
            return window;
    }
    return nullptr;
}

std::vector<HWND> TargetApp::WindowsOfClass(const char* className) const {
    std::vector<HWND> found;
    for (HWND window : TopLevelWindows(processId_))
        if (IsClass(window, className)) found.push_back(window);
    return found;
}

bool TargetApp::Sync() const {
    DWORD_PTR ignored = 0;
    return IsWindow(dialog_) &&
           SendMessageTimeoutA(dialog_, WM_NULL, 0, 0, SMTO_NORMAL, kWaitMs, &ignored) != 0;
}

bool TargetApp::Alive() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool TargetApp::WaitExit(DWORD ms) const {
    return process_ && WaitForSingleObject(process_, ms) == WAIT_OBJECT_0;
}

DWORD TargetApp::ExitCode() const {
    DWORD code = 0;
    if (process_) GetExitCodeProcess(process_, &code);
    return code;
}

void TargetApp::TerminateIfStarted() {
    if (started_ && Alive()) TerminateProcess(process_, 1);
}
