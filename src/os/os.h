#pragma once
// What the programs need from the operating system, behind one header: the terminal and its
// question, the stop signals, the monotonic clock and pauses, the 1 ms timer, appending to
// a file. One implementation per platform (posix/, win/), chosen by the build as the
// target fw_os; neither holds any state but what its objects own and the stop flag.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "base/run_clock.h"

namespace os {

bool StdinIsTerminal();
// On Windows this also turns on the escape sequences the progress display redraws with.
bool StderrIsTerminal();

// From now on a stop request (Ctrl+C; on Windows also Ctrl+Break) only sets `flag` and
// interrupts a pending read of the terminal. The flag must outlive the process's runs.
void WatchStopSignals(std::atomic<bool>& flag);
// One line typed on the terminal, without its line end; false at end of input or once a
// stop was requested.
bool ReadTerminalLine(std::string& line);

// Blocks the calling thread for at least `ms` milliseconds: on Windows by the performance
// counter, sleeping again for whatever is left should Sleep return early.
void SleepAtLeastMs(uint32_t ms);
// Milliseconds of a monotonic clock.
uint64_t MonotonicMs();
// The current time in UTC, ISO 8601 to the second ("2026-01-31T12:00:00Z").
std::string UtcTimestamp();

// The real pauses and clock, for runs.
class SystemClock : public RunClock {
  public:
    void Sleep(uint32_t ms) override { SleepAtLeastMs(ms); }
    uint64_t NowMs() override { return MonotonicMs(); }
};

// Pauses as short as asked for while it lives: a 1 ms system timer on Windows (whose
// pauses otherwise end on 15.6 ms ticks); nothing elsewhere.
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

}  // namespace os
