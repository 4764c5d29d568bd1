#pragma once
// One updater per instrument: a lock of the operating system named for the instrument's
// serial, held while a run talks to it, by fwtool and by the window alike. Every user and
// every environment of one machine finds it in the same place; other processes see it taken
// until it is released or the process holding it ends, however it ends.
//  - POSIX: flock on "fwtool-<SERIAL>.lock" in /run/fwtool, the folder the package makes
//    (tmpfiles.d), else /run/lock. The file is made readable for every user (whatever the
//    umask), opened without following a link and without blocking, and taken only when it
//    is a regular file: a FIFO, a link or a folder planted in its place refuses the
//    instrument instead of hanging or redirecting. It stays behind, empty.
//  - Windows: the named mutex "Global\fwtool-<SERIAL>", seen across every session, made
//    with a security descriptor that lets every local user take it.
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

    // Never waits. kUnavailable: the lock cannot be made or taken (see problem()).
    Result Take(const std::string& serial);
    void Release();
    bool held() const;
    // After kUnavailable: the lock's path (or name) and why, as the system says it.
    const std::string& problem() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The name the lock has for `serial`: "fwtool-TW00012345".
std::string InstrumentLockName(const std::string& serial);

// Tests of one process keep their locks in a folder of their own (empty: the machine's).
void UseInstrumentLockFolder(const std::string& folder);

}  // namespace os
