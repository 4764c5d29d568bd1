#include "sim_flash.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/stdio_file.h"

std::vector<uint8_t> SimFlash::Read(uint32_t offset, uint32_t count) const {
    if (offset >= bytes_.size()) return {};
    size_t n = std::min<size_t>(count, bytes_.size() - offset);
    return std::vector<uint8_t>(bytes_.begin() + offset, bytes_.begin() + offset + n);
}

bool SimFlash::Holds(uint32_t offset, const uint8_t* bytes, size_t count) const {
    if (offset > bytes_.size() || count > bytes_.size() - offset) return false;
    return count == 0 || std::memcmp(bytes_.data() + offset, bytes, count) == 0;
}

void SimFlash::EraseSector(uint32_t sector) {
    if (sector >= kSimSectorCount) return;
    std::fill_n(bytes_.begin() + sector * kSimSectorSize, kSimSectorSize, 0xFF);
}

void SimFlash::Program(uint32_t offset, const uint8_t* bytes, size_t count) {
    if (offset > bytes_.size() || count > bytes_.size() - offset) return;
    std::copy(bytes, bytes + count, bytes_.begin() + offset);
}

bool SimFlash::Load(const std::string& path, std::string& error) {
    StdioFile file(std::fopen(path.c_str(), "rb"));
    if (!file) return true;  // nothing kept yet: a new, erased flash
    std::vector<uint8_t> loaded(kSimFlashSize + 1);
    size_t n = std::fread(loaded.data(), 1, loaded.size(), file.get());
    if (std::ferror(file.get())) {
        error = "cannot read flash file " + path;
        return false;
    }
    if (n > kSimFlashSize) {
        error = "flash file " + path + " is larger than the flash";
        return false;
    }
    std::fill(bytes_.begin(), bytes_.end(), 0xFF);
    std::copy(loaded.begin(), loaded.begin() + n, bytes_.begin());
    return true;
}

bool SimFlash::Save(const std::string& path, std::string& error) const {
    StdioFile file(std::fopen(path.c_str(), "wb"));
    bool ok = file && std::fwrite(bytes_.data(), 1, bytes_.size(), file.get()) == bytes_.size();
    if (ok) ok = std::fclose(file.release()) == 0;
    if (!ok) error = "cannot write flash file " + path;
    return ok;
}
