#include "full_size_file.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "base/stdio_file.h"
#include "firmware/model_catalogue.h"
#include "firmware_builder.h"

namespace {

// Each section fills its region exactly: its length + 6 bytes equal the capacity.
std::vector<uint32_t> PayloadsFillingEveryRegion() {
    std::vector<uint32_t> payloads;
    const ModelRecord* model = FindModel("K4417F");
    for (const SectionSpec* row = model->sections; row->firstSector != kSectionTableEnd; ++row)
        payloads.push_back(row->capacity - static_cast<uint32_t>(kSectionOverhead));
    return payloads;
}

void WarmPageCache(const std::string& path) {
    StdioFile f(std::fopen(path.c_str(), "rb"));
    if (!f) return;
    char chunk[65536];
    while (std::fread(chunk, 1, sizeof chunk, f.get()) == sizeof chunk) {
    }
}

}  // namespace

const FullSizeFile& FullSizeK4417F() {
    static std::unique_ptr<TempFile> file;
    static FullSizeFile result;
    if (!file) {
        const FirmwareBuilder builder = ValidK4417F(PayloadsFillingEveryRegion());
        const std::string bytes = builder.Bytes();
        file = std::make_unique<TempFile>(bytes);
        result.path = file->path();
        result.size = bytes.size();
        result.sectionBytes = bytes.size() - builder.SectionOffset(0);
        WarmPageCache(result.path);
    }
    return result;
}
