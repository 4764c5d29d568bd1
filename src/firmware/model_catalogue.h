#pragma once
// The models this utility can update and how each model's flash is divided.

#include <cstdint>

// Copies this region's revision out of the identification reply's revision field into
// `out` (NUL-terminated, at most 7 characters).
using ExtractRevisionFn = void (*)(const char* field, char out[8]);

struct SectionSpec {
    uint8_t firstSector;  // 0xFF ends a table
    uint8_t lastSector;
    uint32_t sectorSize;
    uint32_t capacity;
    uint32_t flag;
    ExtractRevisionFn extractRevision;
    char name[256];
};

struct ModelRecord {
    char maker[64];
    char modelName[32];  // empty in the record that ends the catalogue
    char partNumber[32];
    const SectionSpec* sections;
};

constexpr uint8_t kSectionTableEnd = 0xFF;

extern const ModelRecord ModelCatalogue[];
extern const char UTILITY_VERSION[];

// Number of rows before the end row.
int SectionCount(const ModelRecord& model);
// The catalogue record whose modelName equals `modelName`, or nullptr.
const ModelRecord* FindModel(const char* modelName);
