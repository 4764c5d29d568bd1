#pragma once
// One fwtool per instrument: a lock of the operating system named for the instrument's
// serial, held while a run talks to it. Other processes see it taken until it is released
// or the process holding it ends, however it ends.
//  - POSIX: flock on "fwtool-<SERIAL>.lock" in $XDG_RUNTIME_DIR, else /run/lock, else the
//    temporary directory. The file is opened with O_NOFOLLOW (a symbolic link planted in a
//    shared directory gets nothing) and never truncated; it stays behind, empty.
//  - Windows: the named mutex "Global\fwtool-<SERIAL>", seen across every session.
// The serial is upper-cased (serials are compared without letter case) and bytes other than
// letters, digits, '-', '_' and '.' become '_'.

#include <memory>
#include <string>

namespace os {

class InstrumentLock {
  public:
    enum Result { kTaken, kBusy, kUnavailable };

    InstrumentLock();
    ~InstrumentLock();  // releases
    InstrumentLock(InstrumentLock&&) noexcept;
    InstrumentLock& operator=(InstrumentLock&&) noexcept;

    // Never waits. kUnavailable: no lock could be made (no usable directory, no mutex).
    Result Take(const std::string& serial);
    void Release();
    bool held() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The name the lock has for `serial`: "fwtool-TW00012345".
std::string InstrumentLockName(const std::string& serial);

}  // namespace os
