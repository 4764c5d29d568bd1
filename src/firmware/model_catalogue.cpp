#include "firmware/model_catalogue.h"

#include <cstring>

namespace {

// Copies `count` characters from `position` of the revision field, never reading past the
// field's end: a field that ends early gives a shorter text, or an empty one.
void CopyFromField(const char* field, unsigned position, unsigned count, char out[8]) {
    unsigned i = 0;
    while (i < position && field[i]) ++i;
    unsigned n = 0;
    if (i == position)
        for (; n < count && field[i + n]; ++n) out[n] = field[i + n];
    out[n] = '\0';
}

void WriterProgramRevision(const char* field, char out[8]) {
    CopyFromField(field, 6, 1, out);
}
void FpgaCode1Revision(const char* field, char out[8]) {
    CopyFromField(field, 9, 2, out);
}
void FpgaCode2Revision(const char* field, char out[8]) {
    CopyFromField(field, 15, 2, out);
}
void MainProgramRevision(const char* field, char out[8]) {
    CopyFromField(field, 0, 4, out);
}
void HttpProgramRevision(const char* field, char out[8]) {
    CopyFromField(field, 18, 4, out);
}
void OemCodeRevision(const char*, char out[8]) {
    std::memcpy(out, "00", 3);
}

// Listed in the order a K4417F file holds its sections, not in sector order.
const SectionSpec kK4417FSections[] = {
    {1, 3, 0x10000, 0x30000, 1, WriterProgramRevision, "Writer Program"},
    {4, 5, 0x10000, 0x20000, 0, FpgaCode1Revision, "FPGA Code 1"},
    {6, 6, 0x10000, 0x10000, 0, FpgaCode2Revision, "FPGA Code 2"},
    {14, 26, 0x10000, 0xD0000, 0, MainProgramRevision, "Main Program"},
    {8, 13, 0x10000, 0x60000, 0, HttpProgramRevision, "http Program"},
    {30, 30, 0x10000, 0x10000, 1, OemCodeRevision, "Oem Code"},
    {kSectionTableEnd, 0, 0, 0, 0, nullptr, ""},
};

}  // namespace

const ModelRecord ModelCatalogue[] = {
    {"ZENTROVA CORP.", "K4417F", "K4417F-FW", kK4417FSections},
    {"", "", "", nullptr},
};

const char UTILITY_VERSION[] = "1.0.6";

int SectionCount(const ModelRecord& model) {
    int count = 0;
    if (model.sections)
        while (model.sections[count].firstSector != kSectionTableEnd) ++count;
    return count;
}

const ModelRecord* FindModel(const char* modelName) {
    for (const ModelRecord* record = ModelCatalogue; record->modelName[0]; ++record)
        if (std::strcmp(record->modelName, modelName) == 0) return record;
    return nullptr;
}
