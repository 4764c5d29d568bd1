#pragma once
// The instrument writer's binary command protocol: 12-byte frames, their payloads and
// the classification of the writer's replies into result codes.

#include <array>
#include <cstdint>

#include "visa/visa_types.h"

class InstrumentLink;

enum : uint8_t {
    WCMD_FLASH_WRITE = 0x03,
    WCMD_CHECKSUM_LENGTH = 0x07,
    WCMD_QUERY_CHECKSUM = 0x08,
    WCMD_RESET = 0x0A,
    WCMD_LOAD = 0x0C,
    WCMD_END_LOAD = 0x0D,
    WCMD_SELECT_SECTION = 0x14,
    WCMD_FLASH_CHECK = 0x15,
};

constexpr uint8_t kFrameStart = 0xAB;
constexpr uint32_t kFramePauseMs = 10;
constexpr uint32_t kDataPauseMs = 25;
constexpr uint32_t kDataBlockSize = 1024;

// Six printable ASCII characters, sent with the reset frame only.
extern const uint8_t WGUARD_RESET[6];
// Six binary bytes, sent with every other frame.
extern const uint8_t WGUARD_COMMAND[6];

using WriterFrame = std::array<uint8_t, 12>;

WriterFrame BuildFrame(uint8_t start, uint32_t count, uint8_t command, const uint8_t guard[6]);

// Writes one frame; on success pauses 10 ms and returns 0, else the write's status.
ViStatus SendFrame(InstrumentLink& link, uint8_t start, uint32_t count, uint8_t command,
                   const uint8_t guard[6]);

int WriterReset(InstrumentLink& link);
int WriterLoad(InstrumentLink& link, uint32_t n);
int WriterEndLoad(InstrumentLink& link);
int WriterSelectSection(InstrumentLink& link, uint8_t id);
int WriterChecksumLength(InstrumentLink& link, uint32_t length);
int WriterQueryChecksum(InstrumentLink& link, uint32_t* checksum);
int WriterFlashCheck(InstrumentLink& link);
int WriterFlashWrite(InstrumentLink& link);
