#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "base/scope_exit.h"
#include "base/unique_fd.h"
#include "os/record_file.h"

namespace os {

namespace {

int UnlockRetrying(int fd) {
    int result;
    do result = ::flock(fd, LOCK_UN);
    while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

// The file's exclusive lock, awaited in steps so that a stop ends the wait.
int LockExclusive(int fd, const std::atomic<bool>* stop) {
    int stoppedSteps = 0;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
        if (errno != EWOULDBLOCK && errno != EINTR) return errno;
        if (stop && *stop && ++stoppedSteps > 200) return EWOULDBLOCK;
        ::usleep(10 * 1000);
    }
}

int WriteWhole(int fd, const std::string& line) {
    for (size_t done = 0; done < line.size();) {
        const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        done += static_cast<size_t>(n);
    }
    int synced;
    do synced = ::fsync(fd);
    while (synced != 0 && errno == EINTR);
    // A file that cannot be synced (a pipe, a terminal, /dev/null) keeps nothing to lose.
    return synced == 0 || errno == EINVAL || errno == EROFS ? 0 : errno;
}

}  // namespace

struct RecordFile::Impl {
    UniqueFd fd;
    const std::atomic<bool>* stop;
};

RecordFile::RecordFile(const std::atomic<bool>* stop)
    : impl_(std::make_unique<Impl>(Impl{UniqueFd(), stop})) {}
RecordFile::~RecordFile() = default;

int RecordFile::Open(const std::string& path) {
    impl_->fd.reset(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    return impl_->fd ? 0 : errno;
}

bool RecordFile::IsOpen() const {
    return impl_->fd.valid();
}

int RecordFile::Append(const std::string& line) {
    if (!IsOpen()) return EBADF;
    std::lock_guard<std::mutex> oneAtATime(appending_);
    const int fd = impl_->fd.get();
    if (int error = LockExclusive(fd, impl_->stop)) return error;
    auto unlock = MakeScopeExit([fd] { UnlockRetrying(fd); });
    const off_t before = ::lseek(fd, 0, SEEK_END);  // where this line begins (O_APPEND)
    const int error = WriteWhole(fd, line);
    // A fragment would glue the next line to it: the file is cut back to its whole lines
    // (a device, which has no size, keeps what it took).
    if (error != 0 && before >= 0 && ::ftruncate(fd, before) != 0 && errno != EINVAL) return errno;
    return error;
}

std::string SystemErrorText(int error) {
    return std::strerror(error);
}

}  // namespace os
