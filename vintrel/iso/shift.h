#pragma once
// Where things lie after a hole of count sectors is inserted at sector start.

#include <cstdint>

#include "iso/geometry.h"

// A hole of count sectors inserted before sector start.
struct Sector_Shift {
    uint32_t start;
    uint32_t count;
};

// The sector where sector lba of the source lies in the new image.
inline uint64_t moved_sector(uint32_t lba, const Sector_Shift& s)
{
    return lba >= s.start ? static_cast<uint64_t>(lba) + s.count : lba;
}

// The byte of the new image where byte offset of the source lies.
inline uint64_t moved_offset(uint64_t offset, const Sector_Shift& s)
{
    return offset >= sector_offset(s.start) ? offset + sector_offset(s.count) : offset;
}

// The length a partition from start of length sectors has after the hole: grown by the hole
// when the hole lies inside it.
inline uint32_t grown_length(uint32_t start, uint32_t length, const Sector_Shift& s)
{
    return start < s.start && s.start < uint64_t(start) + length ? length + s.count : length;
}
