#include "sample_firmware.h"

FirmwareBuilder ValidK4417F(const std::vector<uint32_t>& payloadSizes) {
    K4417FFile file;
    for (size_t i = 0; i < payloadSizes.size() && i < file.payloadSizes.size(); ++i)
        file.payloadSizes[i] = payloadSizes[i];
    return ValidK4417F(file);
}

FirmwareBuilder ValidK4417F(const K4417FFile& file) {
    FirmwareBuilder fw;
    fw.CrLf(file.crlf)
        .Line("; K4417F firmware revision file")
        .Header("ImageRev", file.imageRev)
        .Header("ModelName", file.modelName)
        .Header("RevsNotSupport", file.revsNotSupport)
        .Header("UpdatedDescription", file.description)
        .Header("UtilityRev", file.utilityRev)
        .FileStart();
    for (size_t i = 0; i < kK4417FIds.size(); ++i) {
        FileSection s;
        s.id = kK4417FIds[i];
        s.flag = 1;
        s.revision = file.revisions[i];
        s.payloadSize = file.payloadSizes[i];
        s.seed = static_cast<uint32_t>(i + 1);
        fw.AddSection(s);
    }
    return fw;
}
