#pragma once
// What the instrument commands need from the operating system; one source file per
// platform (platform_posix.cpp, platform_win.cpp).

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

bool StdinIsTerminal();
bool StderrIsTerminal();
// From now on Ctrl+C only sets `flag` (and interrupts a pending read of the terminal).
void SetInterruptFlag(std::atomic<bool>& flag);
// One line typed on the terminal, without its line end; false at end of input or on Ctrl+C.
bool ReadTerminalLine(std::string& line);
// Blocks the calling thread for at least `ms` milliseconds.
void SleepAtLeastMs(uint32_t ms);
// Milliseconds of a monotonic clock.
uint64_t MonotonicMs();
// The current time in UTC, ISO 8601 to the second ("2026-01-31T12:00:00Z").
std::string UtcTimestamp();

// Pauses as short as asked for while it lives: the finest system timer on Windows, as the
// dialog holds it during an update; nothing elsewhere.
class TimerResolutionHold {
  public:
    TimerResolutionHold();
    ~TimerResolutionHold();
    TimerResolutionHold(const TimerResolutionHold&) = delete;
    TimerResolutionHold& operator=(const TimerResolutionHold&) = delete;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A file opened for appending; every Append is one write of the whole text at the end of
// the file, so lines of several processes sharing it never mix.
class AppendFile {
  public:
    AppendFile();
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    bool Open(const std::string& path);  // creates the file when missing
    bool IsOpen() const;
    bool Append(const std::string& text);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
