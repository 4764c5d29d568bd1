#pragma once
// Multi-byte numbers in firmware files and writer frames are stored most significant
// byte first.

#include <cstdint>
#include <cstring>

// One unaligned word: a plain load and a byte swap, which the compiler turns into
// single instructions.
inline uint32_t LoadBigEndian32(const uint8_t* p) {
    uint32_t w;
    std::memcpy(&w, p, sizeof w);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return w;
#else
    return __builtin_bswap32(w);
#endif
}
