#include "base/wide_text.h"
#include "base/win_handle.h"
#include "os/instrument_lock.h"
#include "os/record_file.h"
#include "os/win/os_windows.h"

// After windows.h, which it needs.
#include <sddl.h>

namespace os {

namespace {

// System and administrators may do anything; everyone may wait for the mutex, release it
// and read its descriptor, but not change it; the low label lets a medium process (a
// standard user) take a mutex that an elevated one made.
constexpr wchar_t kMutexSecurity[] =
    L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00120001;;;WD)S:(ML;;NW;;;LW)";

// Made with the descriptor, or opened as it is, asking only for what taking it needs:
// CreateMutexW would ask an existing mutex for every right.
HANDLE CreateOrOpenMutex(const std::wstring& name) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kMutexSecurity, SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return nullptr;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    HANDLE mutex = CreateMutexExW(&attributes, name.c_str(), 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
    const DWORD error = GetLastError();
    LocalFree(descriptor);
    SetLastError(error);
    return mutex;
}

}  // namespace

struct InstrumentLock::Impl {
    UniqueWinHandle mutex;
    std::string problem;
};

InstrumentLock::InstrumentLock() : impl_(std::make_unique<Impl>()) {}
InstrumentLock::~InstrumentLock() = default;
InstrumentLock::InstrumentLock(InstrumentLock&&) noexcept = default;
InstrumentLock& InstrumentLock::operator=(InstrumentLock&&) noexcept = default;

InstrumentLock::Result InstrumentLock::Take(const std::string& serial) {
    Release();
    // Global\ reaches every session (a service, a remote desktop): where it is refused,
    // no lock is taken at all rather than one that other sessions cannot see.
    const std::string name = "Global\\" + InstrumentLockName(serial);
    auto unavailable = [&](DWORD error) {
        impl_->problem = name + ": " + SystemErrorText(static_cast<int>(error));
        return kUnavailable;
    };
    UniqueWinHandle mutex(CreateOrOpenMutex(WideFromUtf8(name)));
    if (!mutex) return unavailable(GetLastError());
    // An abandoned mutex (its holder ended without releasing it) is taken all the same.
    const DWORD waited = WaitForSingleObject(mutex.get(), 0);
    if (waited == WAIT_TIMEOUT) return kBusy;
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return unavailable(GetLastError());
    impl_->mutex = std::move(mutex);
    return kTaken;
}

void InstrumentLock::Release() {
    if (!impl_) return;
    impl_->problem.clear();
    if (!impl_->mutex) return;
    // Owned by the thread that took it: Take and Release run on the same thread.
    ReleaseMutex(impl_->mutex.get());
    impl_->mutex.reset();
}

bool InstrumentLock::held() const {
    return impl_ && impl_->mutex.valid();
}

const std::string& InstrumentLock::problem() const {
    return impl_->problem;
}

// Tests on Windows run one at a time: the machine's mutexes serve them.
void UseInstrumentLockFolder(const std::string&) {}

}  // namespace os
