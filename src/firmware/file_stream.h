#pragma once
// A firmware file on disk, opened read-only in binary mode.

#include <cstdio>
#include <string>

#include "base/stdio_file.h"
#include "firmware/firmware_stream.h"

class FileStream : public FirmwareStream {
  public:
    FileStream() = default;
    explicit FileStream(StdioFile file) : file_(std::move(file)) {}
    FileStream(FileStream&&) = default;
    FileStream& operator=(FileStream&&) = default;

    bool IsOpen() const { return file_.valid(); }
    // Closes the file now (the destructor does it otherwise).
    void Close() { file_.reset(); }

    bool AtEnd() const override { return atEnd_; }
    size_t ReadLine(char* buffer, size_t max) override;
    uint64_t Position() const override;
    bool Seek(uint64_t offset) override;
    bool SeekToEnd() override;
    size_t Read(void* buffer, size_t count) override;

  private:
    StdioFile file_;
    bool atEnd_ = false;
};

// Opens `path` with "rb"; the result is not IsOpen() when the file cannot be opened.
FileStream OpenFirmwareFile(const std::string& path);
