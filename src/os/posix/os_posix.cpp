#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "base/unique_fd.h"
#include "os/os.h"

namespace os {
namespace {

// A signal handler reaches no object but through static storage: the one flag it sets.
std::atomic<bool>* stopFlag = nullptr;

void OnStopSignal(int) {
    if (stopFlag) stopFlag->store(true);
}

}  // namespace

bool StdinIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}
bool StderrIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

void WatchStopSignals(std::atomic<bool>& flag) {
    stopFlag = &flag;
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a read of the terminal returns on Ctrl+C
    sigaction(SIGINT, &action, nullptr);
}

bool ReadTerminalLine(std::string& line) {
    line.clear();
    char c;
    for (;;) {
        ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n <= 0) return false;
        if (c == '\n') break;
        if (c != '\r') line.push_back(c);
    }
    return !(stopFlag && stopFlag->load());
}

void SleepAtLeastMs(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint64_t MonotonicMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::string UtcTimestamp() {
    std::time_t now = std::time(nullptr);
    std::tm utc = {};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

struct TimerResolutionHold::Impl {};
TimerResolutionHold::TimerResolutionHold() = default;
TimerResolutionHold::~TimerResolutionHold() = default;

struct AppendFile::Impl {
    UniqueFd fd;
};
AppendFile::AppendFile() : impl_(std::make_unique<Impl>()) {}
AppendFile::~AppendFile() = default;

bool AppendFile::Open(const std::string& path) {
    impl_->fd.reset(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    return IsOpen();
}
bool AppendFile::IsOpen() const {
    return impl_->fd.valid();
}

bool AppendFile::Append(const std::string& text) {
    return IsOpen() &&
           ::write(impl_->fd.get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

}  // namespace os
