#pragma once
// A ready-made valid K4417F file, for the tests, the benchmarks and uidriver's scenarios.
//
//   FirmwareBuilder fw = ValidK4417F({0x100, 16, 16, 65520, 16, 16});
//   fw.Section(1).flag = 0;           // change a section, then ...
//   std::string bytes = fw.Bytes();   // ... render the file

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "firmware_writer.h"

constexpr std::array<uint8_t, 6> kK4417FIds = {1, 4, 6, 14, 8, 30};

struct K4417FFile {
    std::string imageRev = "2.10.0";
    std::string modelName = "K4417F";
    std::string revsNotSupport = "1.0.0";
    std::string description = "Sample firmware for tests";
    std::string utilityRev = "1.0.6";
    bool crlf = false;
    std::array<uint32_t, 6> payloadSizes = {64, 48, 48, 256, 128, 32};
    std::array<std::string, 6> revisions = {"ZZZZ", "ZZZZ", "ZZZZ", "ZZZZ", "ZZZZ", "ZZZZ"};
};

// A valid six-section K4417F file (ids 1, 4, 6, 14, 8, 30 in this order, flags 1). An
// empty `payloadSizes` keeps the small defaults; otherwise give all six.
FirmwareBuilder ValidK4417F(const std::vector<uint32_t>& payloadSizes = {});
FirmwareBuilder ValidK4417F(const K4417FFile& file);
