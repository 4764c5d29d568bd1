#include "fleet/firmware_image.h"

#include "firmware/file_stream.h"
#include "firmware/firmware_loader.h"

int LoadFirmwareImage(const std::string& path, FirmwareImage& image) {
    FileStream file = OpenFirmwareFile(path);  // closed once parsed: nothing reads it again
    return LoadFirmwareImage(file, image);
}

int LoadFirmwareImage(FileStream& file, FirmwareImage& image) {
    if (!file.IsOpen()) return kImageNotOpened;
    return ParseAndValidate(file, image.info, image.model);
}
