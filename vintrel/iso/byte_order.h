#pragma once
// Byte-order helpers for on-disc numbers: little-endian, big-endian and the both-byte-order
// form of ECMA-119 7.2 and 7.3.

#include <cstdint>

// Reads the 16-bit little-endian number at p (ECMA-119 7.2.1).
inline uint16_t read_le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Reads the 16-bit big-endian number at p (ECMA-119 7.2.2).
inline uint16_t read_be16(const uint8_t* p)
{
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

// Reads the 32-bit little-endian number at p (ECMA-119 7.3.1).
inline uint32_t read_le32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Reads the 32-bit big-endian number at p (ECMA-119 7.3.2).
inline uint32_t read_be32(const uint8_t* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

// Reads the 64-bit little-endian number at p.
inline uint64_t read_le64(const uint8_t* p)
{
    return static_cast<uint64_t>(read_le32(p)) | (static_cast<uint64_t>(read_le32(p + 4)) << 32);
}

// Writes v as a 16-bit little-endian number at p.
inline void write_le16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// Writes v as a 16-bit big-endian number at p.
inline void write_be16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

// Writes v as a 32-bit little-endian number at p.
inline void write_le32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Writes v as a 32-bit big-endian number at p.
inline void write_be32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// Writes v as a 64-bit little-endian number at p.
inline void write_le64(uint8_t* p, uint64_t v)
{
    write_le32(p, static_cast<uint32_t>(v));
    write_le32(p + 4, static_cast<uint32_t>(v >> 32));
}

// Writes the both-byte-order form of v into 8 bytes at p: little-endian, then big-endian
// (ECMA-119 7.3.3).
inline void write_both32(uint8_t* p, uint32_t v)
{
    write_le32(p, v);
    write_be32(p + 4, v);
}

// Writes the both-byte-order form of a 16-bit v into 4 bytes at p (ECMA-119 7.2.3).
inline void write_both16(uint8_t* p, uint16_t v)
{
    write_le16(p, v);
    write_be16(p + 2, v);
}
