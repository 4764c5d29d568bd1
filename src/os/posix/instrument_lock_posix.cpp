#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/unique_fd.h"
#include "os/instrument_lock.h"

namespace os {

namespace {

std::string& FolderOfTests() {
    static std::string folder;
    return folder;
}

// Where the package made its folder, every user finds it; else the system's lock folder.
// Both are the same for every user and every environment of the machine.
std::string LockFolder() {
    if (!FolderOfTests().empty()) return FolderOfTests();
    struct stat packaged;
    return ::lstat("/run/fwtool", &packaged) == 0 && S_ISDIR(packaged.st_mode) ? "/run/fwtool"
                                                                               : "/run/lock";
}

// Read access is all flock needs, and all that every user is given.
constexpr mode_t kLockFileMode = 0644;
constexpr int kOpenFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;

// Opens the lock file without following a link, without blocking on a FIFO and without
// truncating anything; -1 with errno. A file made here is given its mode whatever the
// umask. An existing one is opened without O_CREAT, which a sticky folder refuses for
// another user's file (fs.protected_regular).
UniqueFd OpenLockFile(const std::string& path) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        UniqueFd made(::open(path.c_str(), kOpenFlags | O_CREAT | O_EXCL, kLockFileMode));
        if (made) {
            if (::fchmod(made.get(), kLockFileMode) != 0) return UniqueFd();
            return made;
        }
        if (errno != EEXIST) return UniqueFd();
        UniqueFd existing(::open(path.c_str(), kOpenFlags));
        if (existing || errno != ENOENT) return existing;  // else removed meanwhile: again
    }
    return UniqueFd();
}

}  // namespace

struct InstrumentLock::Impl {
    UniqueFd fd;
    std::string problem;
};

InstrumentLock::InstrumentLock() : impl_(std::make_unique<Impl>()) {}
InstrumentLock::~InstrumentLock() = default;
InstrumentLock::InstrumentLock(InstrumentLock&&) noexcept = default;
InstrumentLock& InstrumentLock::operator=(InstrumentLock&&) noexcept = default;

InstrumentLock::Result InstrumentLock::Take(const std::string& serial) {
    Release();
    const std::string path = LockFolder() + "/" + InstrumentLockName(serial) + ".lock";
    auto unavailable = [&](const char* why) {
        impl_->problem = path + ": " + why;
        return kUnavailable;
    };
    UniqueFd fd = OpenLockFile(path);
    if (!fd) return unavailable(errno == ELOOP ? "a symbolic link" : std::strerror(errno));
    struct stat opened;
    if (::fstat(fd.get(), &opened) != 0) return unavailable(std::strerror(errno));
    if (!S_ISREG(opened.st_mode)) return unavailable("not a regular file");
    int locked;
    do locked = ::flock(fd.get(), LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    if (locked != 0) return errno == EWOULDBLOCK ? kBusy : unavailable(std::strerror(errno));
    impl_->fd = std::move(fd);
    return kTaken;
}

void InstrumentLock::Release() {
    if (!impl_) return;
    impl_->fd.reset();  // closing the last descriptor drops the lock
    impl_->problem.clear();
}

bool InstrumentLock::held() const {
    return impl_ && impl_->fd.valid();
}

const std::string& InstrumentLock::problem() const {
    return impl_->problem;
}

void UseInstrumentLockFolder(const std::string& folder) {
    FolderOfTests() = folder;
}

}  // namespace os
