#pragma once
// A firmware file held in memory (tests, fuzzing, fwtool). Does not own the bytes: they
// must outlive the stream.

#include <cstdint>
#include <string_view>

#include "firmware/firmware_stream.h"

class MemoryStream : public FirmwareStream {
  public:
    MemoryStream(const void* data, size_t size)
        : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    explicit MemoryStream(std::string_view bytes) : MemoryStream(bytes.data(), bytes.size()) {}

    bool AtEnd() const override { return atEnd_; }
    size_t ReadLine(char* buffer, size_t max) override;
    uint64_t Position() const override { return pos_; }
    bool Seek(uint64_t offset) override;
    bool SeekToEnd() override;
    size_t Read(void* buffer, size_t count) override;

    // Number of Read calls so far (lets tests see what the parser asked for).
    int reads = 0;

  private:
    const uint8_t* data_;
    uint64_t size_;
    uint64_t pos_ = 0;
    bool atEnd_ = false;
};
