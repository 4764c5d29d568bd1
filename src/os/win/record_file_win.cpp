#include <atomic>
#include <cstdint>

#include "base/wide_text.h"
#include "base/win_handle.h"
#include "os/record_file.h"
#include "os/win/os_windows.h"

namespace os {

namespace {

// The file's exclusive lock, awaited in steps so that a stop ends the wait.
DWORD LockExclusive(HANDLE file, OVERLAPPED& whole, const std::atomic<bool>* stop) {
    int stoppedSteps = 0;
    for (;;) {
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                       MAXDWORD, &whole))
            return 0;
        const DWORD error = GetLastError();
        if (error != ERROR_LOCK_VIOLATION) return error;
        if (stop && *stop && ++stoppedSteps > 200) return error;
        Sleep(10);
    }
}

// Writes at `at`, the end of the file, and flushes.
DWORD WriteWholeAt(HANDLE file, const std::string& line, LARGE_INTEGER at) {
    for (size_t done = 0; done < line.size();) {
        OVERLAPPED position = {};
        const uint64_t offset = static_cast<uint64_t>(at.QuadPart) + done;
        position.Offset = static_cast<DWORD>(offset);
        position.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD written = 0;
        if (!WriteFile(file, line.data() + done, static_cast<DWORD>(line.size() - done), &written,
                       &position))
            return GetLastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        done += written;
    }
    if (!FlushFileBuffers(file) && GetLastError() != ERROR_INVALID_FUNCTION) return GetLastError();
    return 0;
}

}  // namespace

struct RecordFile::Impl {
    UniqueWinHandle file;
    const std::atomic<bool>* stop;
};

RecordFile::RecordFile(const std::atomic<bool>* stop)
    : impl_(std::make_unique<Impl>(Impl{UniqueWinHandle(), stop})) {}
RecordFile::~RecordFile() = default;

int RecordFile::Open(const std::string& path) {
    // Every write goes to the end found under the file's lock, which every fwtool takes;
    // write access is what cutting a failed line back needs.
    impl_->file.reset(CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return IsOpen() ? 0 : static_cast<int>(GetLastError());
}

bool RecordFile::IsOpen() const {
    return impl_->file.valid();
}

int RecordFile::Append(const std::string& line) {
    if (!IsOpen()) return ERROR_INVALID_HANDLE;
    std::lock_guard<std::mutex> oneAtATime(appending_);
    HANDLE file = impl_->file.get();
    OVERLAPPED whole = {};
    if (DWORD error = LockExclusive(file, whole, impl_->stop)) return static_cast<int>(error);
    LARGE_INTEGER before = {};
    if (!GetFileSizeEx(file, &before)) {
        const DWORD error = GetLastError();
        UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
        return static_cast<int>(error);
    }
    const DWORD error = WriteWholeAt(file, line, before);
    if (error != 0) {
        // A fragment would glue the next line to it: the file is cut back to its whole lines.
        FILE_END_OF_FILE_INFO end = {};
        end.EndOfFile = before;
        SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end);
    }
    UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
    return static_cast<int>(error);
}

std::string SystemErrorText(int error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring wide = length ? std::wstring(text, length) : L"error " + std::to_wstring(error);
    LocalFree(text);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L'.'))
        wide.pop_back();
    return Utf8FromWide(wide);
}

}  // namespace os
