#include "firmware/memory_stream.h"

#include <cstring>

size_t MemoryStream::ReadLine(char* buffer, size_t max) {
    size_t stored = 0;
    while (stored < max) {
        if (pos_ >= size_) {
            atEnd_ = true;
            break;
        }
        char c = static_cast<char>(data_[pos_++]);
        if (c == '\n') break;
        buffer[stored++] = c;
    }
    return stored;
}

bool MemoryStream::Seek(uint64_t offset) {
    // Like a file, a position past the end may be set; the next read then meets the end.
    atEnd_ = false;
    pos_ = offset;
    return true;
}

bool MemoryStream::SeekToEnd() {
    atEnd_ = false;
    pos_ = size_;
    return true;
}

size_t MemoryStream::Read(void* buffer, size_t count) {
    ++reads;
    uint64_t left = pos_ < size_ ? size_ - pos_ : 0;
    size_t got = left < count ? static_cast<size_t>(left) : count;
    if (got) std::memcpy(buffer, data_ + pos_, got);
    pos_ += got;
    if (got < count) atEnd_ = true;
    return got;
}
