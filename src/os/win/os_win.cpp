#include <cstdio>
#include <ctime>

#include "base/wide_text.h"
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

int OutputColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) return kDefaultColumns;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

std::vector<std::string> CommandLineArguments(int, char**) {
    const wchar_t* p = GetCommandLineW();
    // The program's name ends at the first blank outside quotes; backslashes are plain.
    for (bool quoted = false; *p != L'\0' && (quoted || (*p != L' ' && *p != L'\t')); ++p)
        if (*p == L'"') quoted = !quoted;
    // The C runtime's rules for the rest: 2n backslashes before a quote give n and the quote
    // opens or closes; 2n+1 give n and a literal quote; "" inside quotes is a literal quote.
    std::vector<std::string> arguments;
    for (;;) {
        while (*p == L' ' || *p == L'\t') ++p;
        if (*p == L'\0') return arguments;
        std::wstring argument;
        bool quoted = false;
        while (*p != L'\0' && (quoted || (*p != L' ' && *p != L'\t'))) {
            if (*p == L'\\') {
                size_t backslashes = 0;
                for (; *p == L'\\'; ++p) ++backslashes;
                if (*p != L'"') {
                    argument.append(backslashes, L'\\');
                    continue;
                }
                argument.append(backslashes / 2, L'\\');
                if (backslashes % 2 == 0) continue;  // the quote is read next, as a quote
                argument += L'"', ++p;
            } else if (*p == L'"') {
                if (quoted && p[1] == L'"') {
                    argument += L'"', p += 2;
                } else {
                    quoted = !quoted, ++p;
                }
            } else {
                argument += *p++;
            }
        }
        arguments.push_back(Utf8FromWide(argument));
    }
}

StdioFile OpenFile(const std::string& path, const char* mode, int* error) {
    // _wfopen refuses a folder itself; GetLastError tells why it failed.
    StdioFile file(_wfopen(WideFromUtf8(path).c_str(), WideFromUtf8(mode).c_str()));
    if (error) *error = file ? 0 : static_cast<int>(GetLastError());
    return file;
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
