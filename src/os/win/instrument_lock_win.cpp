#include "base/win_handle.h"
#include "os/instrument_lock.h"
#include "os/win/os_windows.h"

namespace os {

struct InstrumentLock::Impl {
    UniqueWinHandle mutex;
};

InstrumentLock::InstrumentLock() : impl_(std::make_unique<Impl>()) {}
InstrumentLock::~InstrumentLock() = default;
InstrumentLock::InstrumentLock(InstrumentLock&&) noexcept = default;
InstrumentLock& InstrumentLock::operator=(InstrumentLock&&) noexcept = default;

InstrumentLock::Result InstrumentLock::Take(const std::string& serial) {
    Release();
    const std::string name = InstrumentLockName(serial);
    // Global\ reaches every session (a service, a remote desktop); where that namespace is
    // refused, the session's own is still better than nothing.
    HANDLE created = nullptr;
    for (const char* space : {"Global\\", "Local\\"}) {
        created = CreateMutexA(nullptr, FALSE, (space + name).c_str());
        if (created) break;
    }
    if (!created) return kUnavailable;
    UniqueWinHandle mutex(created);
    // An abandoned mutex (its holder ended without releasing it) is taken all the same.
    const DWORD waited = WaitForSingleObject(mutex.get(), 0);
    if (waited == WAIT_TIMEOUT) return kBusy;
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return kUnavailable;
    impl_->mutex = std::move(mutex);
    return kTaken;
}

void InstrumentLock::Release() {
    if (!impl_ || !impl_->mutex) return;
    // Owned by the thread that took it: Take and Release run on the same thread.
    ReleaseMutex(impl_->mutex.get());
    impl_->mutex.reset();
}

bool InstrumentLock::held() const {
    return impl_ && impl_->mutex.valid();
}

}  // namespace os
