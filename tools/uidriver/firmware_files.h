#pragma once
// Firmware files for the scenarios, and the check of the simulated flash after an update.

#include <string>

// Writes a K4417F firmware file of `kind` to `path`: "valid" (six sections with the
// payload sizes in `sizes`, comma-separated, or small defaults), "truncated" (the same,
// cut short in its last section) or "other-model". False with a message on failure.
bool MakeFirmwareFile(const std::string& path, const std::string& kind, const std::string& sizes,
                      std::string& error);

// True when the flash image holds every section of the firmware file, byte for byte,
// at the start of the flash sector the section's id names. With `count` >= 0 only the
// first `count` sections are compared.
bool FlashHoldsFirmware(const std::string& flashPath, const std::string& firmwarePath, int count,
                        std::string& report);
