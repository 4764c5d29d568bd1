#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "base/unique_fd.h"
#include "os/os.h"

namespace os {
bool StdinIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}
bool StderrIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

int OutputColumns() {
    struct winsize size = {};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return kDefaultColumns;
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

StdioFile OpenFile(const std::string& path, const char* mode, int* error) {
    StdioFile file(std::fopen(path.c_str(), mode));
    int code = file ? 0 : errno;
    // fopen opens a folder for reading; its reads would fail as if the file were damaged.
    struct stat status;
    if (file && fstat(fileno(file.get()), &status) == 0 && S_ISDIR(status.st_mode))
        file.reset(), code = EISDIR;
    if (error) *error = code;
    return file;
}

bool AskTerminal(const std::string& question, std::string& answer, const std::atomic<bool>& stop) {
    answer.clear();
    UniqueFd tty(::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY));
    const int in = tty ? tty.get() : STDIN_FILENO;
    const int out = tty ? tty.get() : STDERR_FILENO;
    if (::write(out, question.data(), question.size()) < 0) return false;
    // The stop signals are taken by a thread of their own: polled, not waited for.
    for (;;) {
        if (stop) return false;
        pollfd ready = {in, POLLIN, 0};
        const int n = ::poll(&ready, 1, 100);
        if (n < 0 && errno != EINTR) return false;
        if (n <= 0) continue;
        char c;
        if (::read(in, &c, 1) != 1) return false;
        if (c == '\n') return !stop;
        if (c != '\r') answer.push_back(c);
    }
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

}  // namespace os
