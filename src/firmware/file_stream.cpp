#include "firmware/file_stream.h"

#include <cstdint>

namespace {

// Positions beyond 2 GiB need the 64-bit forms of fseek/ftell.
int Seek64(std::FILE* f, uint64_t offset, int whence) {
#ifdef _WIN32
    return _fseeki64(f, static_cast<long long>(offset), whence);
#else
    return fseeko(f, static_cast<off_t>(offset), whence);
#endif
}

int64_t Tell64(std::FILE* f) {
#ifdef _WIN32
    return _ftelli64(f);
#else
    return ftello(f);
#endif
}

}  // namespace

FileStream OpenFirmwareFile(const std::string& path) {
    return FileStream(StdioFile(std::fopen(path.c_str(), "rb")));
}

size_t FileStream::ReadLine(char* buffer, size_t max) {
    if (!file_) {
        atEnd_ = true;
        return 0;
    }
    size_t stored = 0;
    while (stored < max) {
        int c = getc(file_.get());
        if (c == EOF) {
            // A read error ends the input just like the end of the file does.
            atEnd_ = true;
            break;
        }
        if (c == '\n') break;
        buffer[stored++] = static_cast<char>(c);
    }
    return stored;
}

uint64_t FileStream::Position() const {
    if (!file_) return 0;
    int64_t pos = Tell64(file_.get());
    return pos < 0 ? 0 : static_cast<uint64_t>(pos);
}

bool FileStream::Seek(uint64_t offset) {
    if (!file_ || offset > static_cast<uint64_t>(INT64_MAX)) return false;
    // Already there and no end met: fseek would only drop the buffer and ask the system
    // again (one seek and one read more for each section of a file read front to back).
    if (!atEnd_ && Tell64(file_.get()) == static_cast<int64_t>(offset)) return true;
    atEnd_ = false;
    return Seek64(file_.get(), offset, SEEK_SET) == 0;
}

bool FileStream::SeekToEnd() {
    if (!file_) return false;
    atEnd_ = false;
    return Seek64(file_.get(), 0, SEEK_END) == 0;
}

size_t FileStream::Read(void* buffer, size_t count) {
    if (!file_) {
        atEnd_ = true;
        return 0;
    }
    size_t got = std::fread(buffer, 1, count, file_.get());
    if (got < count) atEnd_ = true;
    return got;
}
