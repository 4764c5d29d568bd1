#include "base/wide_text.h"
#include "base/win_handle.h"
#include "os/record_file.h"
#include "os/win/os_windows.h"

namespace os {

struct RecordFile::Impl {
    UniqueWinHandle file;
};

RecordFile::RecordFile() : impl_(std::make_unique<Impl>()) {}
RecordFile::~RecordFile() = default;

int RecordFile::Open(const std::string& path) {
    // Append access makes the system put every write at the end of the file; read access
    // is what LockFileEx asks for.
    impl_->file.reset(CreateFileW(WideFromUtf8(path).c_str(), FILE_APPEND_DATA | GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return IsOpen() ? 0 : static_cast<int>(GetLastError());
}

bool RecordFile::IsOpen() const {
    return impl_->file.valid();
}

int RecordFile::Append(const std::string& line) {
    if (!IsOpen()) return ERROR_INVALID_HANDLE;
    HANDLE file = impl_->file.get();
    OVERLAPPED whole = {};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole))
        return static_cast<int>(GetLastError());
    int error = 0;
    for (size_t done = 0; done < line.size() && error == 0;) {
        DWORD written = 0;
        if (!WriteFile(file, line.data() + done, static_cast<DWORD>(line.size() - done), &written,
                       nullptr))
            error = static_cast<int>(GetLastError());
        else if (written == 0)
            error = ERROR_WRITE_FAULT;
        done += written;
    }
    if (error == 0 && !FlushFileBuffers(file) && GetLastError() != ERROR_INVALID_FUNCTION)
        error = static_cast<int>(GetLastError());
    UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
    return error;
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
