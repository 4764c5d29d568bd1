#pragma once
// Writing one firmware section into the instrument's flash.

#include <cstdint>

class InstrumentLink;
class UpdateObserver;
struct ImageSection;
struct SectionSpec;

// Sum of the big-endian 32-bit words over `n` bytes rounded up to a multiple of 4.
uint32_t ComputeChecksum(const uint8_t* p, uint32_t n);

// Resets the writer, loads the section, verifies its checksum and flashes it, reporting
// progress and log to `observer`. 0 on success, else the first failing step's code.
int WriteSection(InstrumentLink& link, UpdateObserver& observer, const ImageSection& section,
                 const SectionSpec& region);
