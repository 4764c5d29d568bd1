#pragma once
// The instrument's flash memory: 32 sectors of 64 KiB, erased bytes read 0xFF. It can be
// kept in a file so that a test, or the program under Wine, can compare it with the
// firmware file and keep it across runs.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kSimSectorSize = 0x10000;
constexpr uint32_t kSimSectorCount = 32;
constexpr uint32_t kSimFlashSize = kSimSectorSize * kSimSectorCount;

class SimFlash {
  public:
    SimFlash() : bytes_(kSimFlashSize, 0xFF) {}

    const uint8_t* data() const { return bytes_.data(); }
    // The bytes at `offset`, as many as lie inside the flash.
    std::vector<uint8_t> Read(uint32_t offset, uint32_t count) const;
    // True when `count` bytes at `offset` equal `bytes` (false when they do not fit).
    bool Holds(uint32_t offset, const uint8_t* bytes, size_t count) const;
    // Erases sector `sector` (0xFF throughout).
    void EraseSector(uint32_t sector);
    // Programs bytes at `offset`; the caller has checked that they fit.
    void Program(uint32_t offset, const uint8_t* bytes, size_t count);

    // A missing file leaves the flash erased; a shorter file fills its start. False with a
    // message when the file exists but cannot be read, or is larger than the flash.
    bool Load(const std::string& path, std::string& error);
    bool Save(const std::string& path, std::string& error) const;

  private:
    std::vector<uint8_t> bytes_;
};
