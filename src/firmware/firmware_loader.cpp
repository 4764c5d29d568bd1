#include "firmware/firmware_loader.h"

#include "base/ascii.h"
#include "base/result_code.h"
#include "firmware/firmware_info.h"
#include "firmware/firmware_parser.h"
#include "firmware/model_catalogue.h"

namespace {

bool BelowBlank(const char* text) {
    return static_cast<signed char>(text[0]) < 0x20;
}

// Plain string order on unsigned bytes: <0, 0 or >0.
int CompareBytes(const char* a, const char* b) {
    const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
    while (*x && *x == *y) ++x, ++y;
    return int{*x} - int{*y};
}

}  // namespace

int ValidateFirmware(FirmwareInfo& info, const ModelRecord& model) {
    if (BelowBlank(info.ImageRev)) return kErrNoImageRev;
    if (BelowBlank(info.UtilityRev)) return kErrNoUtilityRev;

    info.cursor = info.sections;
    for (const SectionSpec* row = model.sections; row && row->firstSector != kSectionTableEnd;
         ++row) {
        const ImageSection* section = info.cursor;
        if (!section) return kErrTooFewSections;
        if (section->flag == 0) return kErrSectionFlag;
        if (section->id != row->firstSector) return kErrSectionId;
        uint32_t regionBytes = (uint32_t{row->lastSector} - row->firstSector + 1) * row->sectorSize;
        if (section->bytesRead > regionBytes) return kErrSectionTooLarge;
        info.cursor = section->next;
    }
    if (info.cursor) return kErrTooManySections;

    // The comparison is lexical on purpose: "1.0.10" sorts before "1.0.6".
    char ownVersion[16] = {};
    for (size_t i = 0; i + 1 < sizeof ownVersion && UTILITY_VERSION[i]; ++i) {
        ownVersion[i] = UpperAscii(UTILITY_VERSION[i]);
    }
    if (ownVersion[0] == '0') return kOk;
    return CompareBytes(info.UtilityRev, ownVersion) > 0 ? kErrUtilityTooOld : kOk;
}

int ParseAndValidate(FirmwareStream& stream, FirmwareInfo& info, const ModelRecord*& model) {
    int code = ParseFirmwareFile(stream, info);
    if (code != kOk) return code;
    const ModelRecord* found = FindModel(info.ModelName);
    if (!found) return kErrUnknownModel;
    model = found;
    return ValidateFirmware(info, *found);
}
