#pragma once
// Little-endian field access for on-disc structures (ECMA-119 7.2, 7.3).

#include <cstdint>

// Reads the 16-bit little-endian number at p.
inline uint16_t read_le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Reads the 32-bit little-endian number at p.
inline uint32_t read_le32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
