#include "os/win/os_windows.h"

#include <cstdio>
#include <ctime>

#include "base/win_handle.h"
#include "os/os.h"
#include "os/win/sleep_at_least.h"
#include "os/win/timer_resolution.h"

namespace os {
namespace {

// The console control handler reaches no object but through static storage.
std::atomic<bool>* stopFlag = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    if (stopFlag) stopFlag->store(true);
    return TRUE;
}

bool IsConsole(DWORD which) {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

}  // namespace

bool StdinIsTerminal() {
    return IsConsole(STD_INPUT_HANDLE);
}

bool StderrIsTerminal() {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(err, &mode)) return false;
    // The progress display redraws itself with escape sequences.
    SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    return true;
}

void WatchStopSignals(std::atomic<bool>& flag) {
    stopFlag = &flag;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool ReadTerminalLine(std::string& line) {
    line.clear();
    char buffer[256];
    if (!std::fgets(buffer, sizeof buffer, stdin)) return false;
    line = buffer;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return !(stopFlag && stopFlag->load());
}

void SleepAtLeastMs(uint32_t ms) {
    SleepAtLeast(ms);
}

uint64_t MonotonicMs() {
    return GetTickCount64();
}

std::string UtcTimestamp() {
    std::time_t now = std::time(nullptr);
    std::tm utc = {};
    gmtime_s(&utc, &now);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

struct TimerResolutionHold::Impl {
    ScopedTimerResolution resolution;
};
TimerResolutionHold::TimerResolutionHold() : impl_(std::make_unique<Impl>()) {}
TimerResolutionHold::~TimerResolutionHold() = default;

struct AppendFile::Impl {
    UniqueWinHandle file;
};
AppendFile::AppendFile() : impl_(std::make_unique<Impl>()) {}
AppendFile::~AppendFile() = default;

bool AppendFile::Open(const std::string& path) {
    // Append-only access makes the system place every write at the end of the file.
    impl_->file.reset(CreateFileA(path.c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return IsOpen();
}
bool AppendFile::IsOpen() const {
    return impl_->file.valid();
}

bool AppendFile::Append(const std::string& text) {
    DWORD written = 0;
    return IsOpen() &&
           WriteFile(impl_->file.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                     nullptr) &&
           written == text.size();
}

}  // namespace os
