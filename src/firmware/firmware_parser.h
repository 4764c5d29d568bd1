#pragma once
// Reading a firmware revision file: the text header, then the binary sections.

#include <cstdint>

class FirmwareStream;
struct FirmwareInfo;
struct ImageSection;

// Trims bytes 0x01-0x20 and 0x80-0xFF from both ends, in place. Returns `text`.
char* TrimBlanks(char* text);
// Reads the section that starts at file offset `start` into `node`.
bool ReadSection(FirmwareStream& stream, uint64_t start, ImageSection& node);
// Parses the header and sections: 0, 23 (truncated) or 32 (header value too long).
int ParseFirmwareFile(FirmwareStream& stream, FirmwareInfo& info);
