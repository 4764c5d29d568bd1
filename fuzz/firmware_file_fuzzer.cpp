// A firmware file of any content: parsed, matched against the catalogue and validated as
// the browse button does it, with the K4417F table tried as well so that the section
// checks see every parse that succeeds.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/result_messages.h"
#include "firmware/file_stream.h"
#include "firmware/firmware_info.h"
#include "firmware/firmware_loader.h"
#include "firmware/firmware_parser.h"
#include "firmware/memory_stream.h"
#include "firmware/model_catalogue.h"
#include "fuzz_check.h"

namespace {

bool Terminated(const char* text, size_t size) {
    return std::memchr(text, '\0', size) != nullptr;
}

void CheckLoaded(const FirmwareInfo& info) {
    FUZZ_CHECK(Terminated(info.ImageRev, sizeof info.ImageRev));
    FUZZ_CHECK(Terminated(info.ModelName, sizeof info.ModelName));
    FUZZ_CHECK(Terminated(info.RevsNotSupport, sizeof info.RevsNotSupport));
    FUZZ_CHECK(Terminated(info.UpdatedDescription, sizeof info.UpdatedDescription));
    FUZZ_CHECK(Terminated(info.UtilityRev, sizeof info.UtilityRev));
}

// The program reads files through stdio: the same bytes through a FILE* must parse exactly
// as they do from memory.
void CheckFileStreamAgrees(const uint8_t* data, size_t size, int memoryCode,
                           const FirmwareInfo& fromMemory) {
    if (size == 0) return;  // fmemopen needs at least one byte
    StdioFile file(fmemopen(const_cast<uint8_t*>(data), size, "rb"));
    FUZZ_CHECK(file.valid());
    FileStream stream(std::move(file));
    FirmwareInfo info;
    FUZZ_CHECK(ParseFirmwareFile(stream, info) == memoryCode);
    FUZZ_CHECK(std::strcmp(info.ImageRev, fromMemory.ImageRev) == 0);
    FUZZ_CHECK(std::strcmp(info.ModelName, fromMemory.ModelName) == 0);
    FUZZ_CHECK(std::strcmp(info.UpdatedDescription, fromMemory.UpdatedDescription) == 0);
    FUZZ_CHECK(std::strcmp(info.UtilityRev, fromMemory.UtilityRev) == 0);
    const ImageSection* a = info.sections;
    const ImageSection* b = fromMemory.sections;
    for (; a && b; a = a->next, b = b->next) {
        FUZZ_CHECK(a->length == b->length && a->bytesRead == b->bytesRead);
        FUZZ_CHECK(a->id == b->id && a->flag == b->flag && a->word1 == b->word1);
        if (a->data && b->data)
            FUZZ_CHECK(std::memcmp(a->data.get(), b->data.get(), a->bytesRead) == 0);
    }
    FUZZ_CHECK(a == nullptr && b == nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryStream stream(data, size);
    FirmwareInfo info;
    const ModelRecord* model = nullptr;
    const int code = ParseAndValidate(stream, info, model);
    FUZZ_CHECK(code >= 0 && code < kErrorCount);
    CheckLoaded(info);

    if (code == kOk) {
        // A file that may be written: one complete section per row of its model's table,
        // each holding exactly the bytes its length field promises.
        FUZZ_CHECK(model != nullptr);
        int sections = 0;
        uint64_t total = 0;
        for (const ImageSection* s = info.sections; s; s = s->next) {
            FUZZ_CHECK(s->data);
            FUZZ_CHECK(s->bytesRead == uint64_t{s->length} + 6);
            FUZZ_CHECK(std::memcmp(s->data.get() + 12, s->revision, std::strlen(s->revision)) == 0);
            total += s->bytesRead;
            ++sections;
        }
        FUZZ_CHECK(sections == SectionCount(*model));
        FUZZ_CHECK(total <= size);
    }

    // Parsed but perhaps naming an unknown model: the section checks still must hold up.
    stream = MemoryStream(data, size);
    const int parsed = ParseFirmwareFile(stream, info);
    CheckFileStreamAgrees(data, size, parsed, info);
    if (parsed == kOk) {
        const int check = ValidateFirmware(info, ModelCatalogue[0]);
        FUZZ_CHECK(check == kOk || (check >= kErrNoImageRev && check <= kErrTooManySections) ||
                   check == kErrUtilityTooOld);
    }
    CheckLoaded(info);
    return 0;
}
