#include "firmware_files.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "base/big_endian.h"
#include "firmware_writer.h"
#include "sample_firmware.h"

namespace {

constexpr uint32_t kSectorSize = 0x10000;

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace

bool MakeFirmwareFile(const std::string& path, const std::string& kind, const std::string& sizes,
                      std::string& error) {
    std::vector<uint32_t> payloadSizes;
    std::stringstream list(sizes);
    for (std::string item; std::getline(list, item, ',');)
        if (!item.empty()) payloadSizes.push_back(static_cast<uint32_t>(std::stoul(item)));
    if (!payloadSizes.empty() && payloadSizes.size() != kK4417FIds.size()) {
        error = "give six section sizes";
        return false;
    }
    std::string bytes;
    if (kind == "valid") {
        bytes = ValidK4417F(payloadSizes).Bytes();
    } else if (kind == "truncated") {
        bytes = ValidK4417F(payloadSizes).DropTail(5).Bytes();
    } else if (kind == "other-model") {
        K4417FFile file;
        file.modelName = "K4417G";
        bytes = ValidK4417F(file).Bytes();
    } else {
        error = "unknown firmware kind " + kind;
        return false;
    }
    if (!WriteFileBytes(path, bytes)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

bool FlashHoldsFirmware(const std::string& flashPath, const std::string& firmwarePath, int count,
                        std::string& report) {
    std::string flash, firmware;
    if (!ReadWholeFile(flashPath, flash)) {
        report = "no flash image at " + flashPath;
        return false;
    }
    if (!ReadWholeFile(firmwarePath, firmware)) {
        report = "no firmware file at " + firmwarePath;
        return false;
    }
    // The sections begin after the line feed that ends the "#FileStart" line.
    size_t header = firmware.find("#FileStart");
    size_t at = header == std::string::npos ? header : firmware.find('\n', header);
    if (at == std::string::npos) {
        report = "firmware file without #FileStart line";
        return false;
    }
    ++at;
    int sections = 0;
    while (at < firmware.size() && (count < 0 || sections < count)) {
        if (firmware.size() - at < 20) {
            report = "firmware file ends inside a section header";
            return false;
        }
        // 20 fixed bytes (length at offset 8), the payload, the id and the flag.
        size_t total = static_cast<size_t>(LoadBigEndian32(
                           reinterpret_cast<const uint8_t*>(firmware.data()) + at + 8)) +
                       6;
        if (total > firmware.size() - at) {
            report = "firmware file ends inside a section";
            return false;
        }
        uint8_t id = static_cast<uint8_t>(firmware[at + total - 2]);
        size_t offset = static_cast<size_t>(id) * kSectorSize;
        ++sections;
        if (offset + total > flash.size() ||
            flash.compare(offset, total, firmware, at, total) != 0) {
            report = "section " + std::to_string(sections) + " (id " + std::to_string(id) +
                     ") differs from the flash at 0x" + [&] {
                         std::ostringstream hex;
                         hex << std::hex << offset;
                         return hex.str();
                     }();
            return false;
        }
        at += total;
    }
    report = std::to_string(sections) + " sections match the flash";
    return sections > 0;
}
