#pragma once
// Putting a firmware file into service: the browse button's procedure and the checks
// of a parsed file against its model and this utility's version.

struct FirmwareInfo;
struct ModelRecord;
class FirmwareStream;
class WindowServices;

// 0 when the file may be used, else 24-30 or 33. Moves info.cursor, nothing else.
int ValidateFirmware(FirmwareInfo& info, const ModelRecord& model);

// The checks behind the browse button without the dialog: parses the open file, finds its
// model (setting `model` when found) and validates the file. 0 or the first failing code.
int ParseAndValidate(FirmwareStream& stream, FirmwareInfo& info, const ModelRecord*& model);

// The "..." button: asks for a file, parses, matches and validates it, shows it and
// enables Update; reports every failure itself.
void LoadFirmwareFile(WindowServices& window, FirmwareInfo& info,
                      const ModelRecord*& selectedModel);
