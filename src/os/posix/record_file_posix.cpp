#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/scope_exit.h"
#include "base/unique_fd.h"
#include "os/record_file.h"

namespace os {

namespace {

int LockRetrying(int fd, int operation) {
    int result;
    do result = ::flock(fd, operation);
    while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

}  // namespace

struct RecordFile::Impl {
    UniqueFd fd;
};

RecordFile::RecordFile() : impl_(std::make_unique<Impl>()) {}
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
    const int fd = impl_->fd.get();
    if (int error = LockRetrying(fd, LOCK_EX)) return error;
    auto unlock = MakeScopeExit([fd] { LockRetrying(fd, LOCK_UN); });
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

std::string SystemErrorText(int error) {
    return std::strerror(error);
}

}  // namespace os
