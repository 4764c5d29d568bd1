#pragma once
// The byte stream the parser reads a firmware file from: a read-only file, or memory
// (tests and fuzzing).

#include <cstddef>
#include <cstdint>
#include <string>

class FirmwareStream {
  public:
    virtual ~FirmwareStream() = default;
    // True once a read has run into the end of the stream.
    virtual bool AtEnd() const = 0;
    // Reads up to `max` bytes, stopping after a line feed, which is consumed but not
    // stored. Returns the number of bytes stored.
    virtual size_t ReadLine(char* buffer, size_t max) = 0;
    virtual uint64_t Position() const = 0;
    virtual bool Seek(uint64_t offset) = 0;
    virtual bool SeekToEnd() = 0;
    // Reads up to `count` bytes; returns how many were delivered.
    virtual size_t Read(void* buffer, size_t count) = 0;
};

// Factory helpers live with their implementations:
//   file_stream.h   - OpenFirmwareFile(path) -> read-only FILE* stream
//   memory_stream.h - MemoryStream over a byte range
