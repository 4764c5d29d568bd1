#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "base/unique_fd.h"
#include "os/instrument_lock.h"

namespace os {

namespace {

std::vector<std::string> LockDirectories() {
    std::vector<std::string> dirs;
    for (const char* variable : {"XDG_RUNTIME_DIR"})
        if (const char* dir = std::getenv(variable); dir && *dir) dirs.push_back(dir);
    dirs.push_back("/run/lock");
    const char* temp = std::getenv("TMPDIR");
    dirs.push_back(temp && *temp ? temp : "/tmp");
    return dirs;
}

// Opens the lock file without following a link and without truncating it. Read access is
// enough for flock; where another user made the file, creating it again is refused in a
// sticky directory, so a second try opens what is there.
UniqueFd OpenLockFile(const std::string& path) {
    const int flags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY;
    UniqueFd fd(::open(path.c_str(), flags | O_CREAT, 0644));
    if (!fd && errno == EACCES) fd.reset(::open(path.c_str(), flags));
    return fd;
}

}  // namespace

struct InstrumentLock::Impl {
    UniqueFd fd;
};

InstrumentLock::InstrumentLock() : impl_(std::make_unique<Impl>()) {}
InstrumentLock::~InstrumentLock() = default;
InstrumentLock::InstrumentLock(InstrumentLock&&) noexcept = default;
InstrumentLock& InstrumentLock::operator=(InstrumentLock&&) noexcept = default;

InstrumentLock::Result InstrumentLock::Take(const std::string& serial) {
    Release();
    const std::string name = InstrumentLockName(serial) + ".lock";
    for (const std::string& dir : LockDirectories()) {
        UniqueFd fd = OpenLockFile(dir + "/" + name);
        if (!fd) continue;
        int locked;
        do locked = ::flock(fd.get(), LOCK_EX | LOCK_NB);
        while (locked != 0 && errno == EINTR);
        if (locked != 0) return errno == EWOULDBLOCK ? kBusy : kUnavailable;
        impl_->fd = std::move(fd);
        return kTaken;
    }
    return kUnavailable;
}

void InstrumentLock::Release() {
    if (impl_) impl_->fd.reset();  // closing the last descriptor drops the lock
}

bool InstrumentLock::held() const {
    return impl_ && impl_->fd.valid();
}

}  // namespace os
