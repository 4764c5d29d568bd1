#include <cstdio>
#include <ctime>

#include "base/win_handle.h"
#include "os/os.h"
#include "os/win/os_windows.h"
#include "os/win/sleep_at_least.h"
#include "os/win/timer_resolution.h"

namespace os {
namespace {

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

bool AskTerminal(const std::string& question, std::string& answer, const std::atomic<bool>& stop) {
    answer.clear();
    HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    UniqueWinHandle input(in), output(out);
    if (!input || !output) return false;
    DWORD done = 0;
    WriteFile(out, question.data(), static_cast<DWORD>(question.size()), &done, nullptr);
    // Ctrl+C ends a pending read of the console; the stop flag tells it from an answer.
    char buffer[256];
    if (!ReadFile(in, buffer, sizeof buffer, &done, nullptr) || stop || done == 0) return false;
    answer.assign(buffer, done);
    while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r')) answer.pop_back();
    return true;
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

}  // namespace os
