#pragma once
// Putting a parsed firmware file into service: its model and the checks against that
// model and this utility's version.

struct FirmwareInfo;
struct ModelRecord;
class FirmwareStream;

// 0 when the file may be used, else 24-30 or 33. Moves info.cursor, nothing else.
int ValidateFirmware(FirmwareInfo& info, const ModelRecord& model);

// The checks behind the browse button without the dialog: parses the open file, finds its
// model (setting `model` when found) and validates the file. 0 or the first failing code.
int ParseAndValidate(FirmwareStream& stream, FirmwareInfo& info, const ModelRecord*& model);
