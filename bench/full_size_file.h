#pragma once
// The largest firmware file the K4417F takes: every region filled to its capacity (about
// 2 MB), written once to a temporary file that the benchmarks share.

#include <cstdint>
#include <string>

struct FullSizeFile {
    std::string path;
    uint64_t size = 0;          // bytes on disk
    uint64_t sectionBytes = 0;  // of which binary sections (what the parser keeps)
};

// Builds the file on first use and reads it once, so that it sits in the page cache.
const FullSizeFile& FullSizeK4417F();
