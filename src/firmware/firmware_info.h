#pragma once
// A parsed firmware revision file: the header texts and the list of binary sections.

#include <cstdint>

#include "base/heap_buffer.h"

struct ImageSection {
    uint32_t word0 = 0;
    uint32_t word1 = 0;
    uint32_t length = 0;
    char revision[5] = {};
    uint32_t word4 = 0;
    uint8_t id = 0;
    uint8_t flag = 0;
    uint32_t bytesRead = 0;
    HeapBuffer data;               // the section's length + 6 bytes exactly as stored in the file
    ImageSection* next = nullptr;  // owned by the list in FirmwareInfo
};

struct FirmwareInfo {
    char ImageRev[16] = {};
    char ModelName[64] = {};
    char RevsNotSupport[16] = {};
    char UpdatedDescription[512] = {};
    char UtilityRev[16] = {};
    ImageSection* sections = nullptr;  // head of the list, in file order
    ImageSection* cursor = nullptr;    // the section the current walk stands on

    FirmwareInfo() = default;
    FirmwareInfo(const FirmwareInfo&) = delete;
    FirmwareInfo& operator=(const FirmwareInfo&) = delete;
    ~FirmwareInfo();
};

// Releases every section and zeroes the whole record.
void ClearFirmwareInfo(FirmwareInfo& info);
// Appends a zero-filled section to the list; nullptr when no memory is left.
ImageSection* AppendSection(FirmwareInfo& info);
