#pragma once
// Image geometry: the sector size of an image and sector addressing.

#include <cstdint>
#include <cstdio>
#include <string>

// Bytes per logical sector of every image vintrel works on (ECMA-119 6.1.2).
constexpr uint32_t SECTOR_BYTES = 2048;

// Sector size of an image from its length: 2048, 2352, 2336, or 0 for none; keeps the
// stream's position.
uint32_t detect_sector_size(FILE* stream);

// 0 when the image's sector size is needed_size; otherwise 1, with the sector-size error
// (three lines naming the file) in error.
int check_sector_size(FILE* stream, const char* name, uint32_t needed_size, std::string& error);

// Byte offset of sector lba, in 64 bits.
inline uint64_t sector_offset(uint32_t lba, uint32_t sector_size = SECTOR_BYTES)
{
    return static_cast<uint64_t>(lba) * sector_size;
}

// Sectors that bytes take, rounded up, in 64 bits.
inline uint64_t sectors_for(uint64_t bytes, uint32_t sector_size = SECTOR_BYTES)
{
    return (bytes + sector_size - 1) / sector_size;
}
