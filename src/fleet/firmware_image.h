#pragma once
// A firmware file parsed and validated once, for every run of a batch: the runs only read
// it, so the file that was confirmed is the file written, whatever happens to the path.

#include <string>

#include "firmware/firmware_info.h"

class FileStream;
struct ModelRecord;

struct FirmwareImage {
    FirmwareInfo info;
    const ModelRecord* model = nullptr;  // set when the file is valid
};

// Returned by LoadFirmwareImage when the file cannot be opened at all.
constexpr int kImageNotOpened = -1;

// Opens, parses and validates the file at `path` into `image`: 0, kImageNotOpened or the
// first failing result code.
int LoadFirmwareImage(const std::string& path, FirmwareImage& image);
// The same for a file the caller opened (the command line opens UTF-8 paths by the
// system's wide calls).
int LoadFirmwareImage(FileStream& file, FirmwareImage& image);
