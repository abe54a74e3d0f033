#pragma once
// Image geometry: sector size, sector addressing and the primary volume descriptor.

#include <cstdint>
#include <cstdio>

#include "driver/job_settings.h"

// Sector of the primary volume descriptor (ECMA-119 6.2.1, 8.4).
constexpr uint32_t DESCRIPTOR_SECTOR = 16;
// Size of a volume descriptor in bytes.
constexpr uint32_t DESCRIPTOR_BYTES = 2048;
// Descriptor byte offsets (ECMA-119 8.4).
constexpr uint32_t PVD_TYPE = 0;
constexpr uint32_t PVD_IDENTIFIER = 1;
constexpr uint32_t PVD_VERSION = 6;
constexpr uint32_t PVD_VOLUME_SPACE_SIZE = 80;
constexpr uint32_t PVD_ROOT_RECORD = 156;

// Sector size of an image from its length: 2048, 2352, 2336, or 0 for none; keeps the position.
uint32_t detect_sector_size(FILE* stream);

// 0 when the image's sector size is needed_size; otherwise prints the sector-size error and gives 1.
int check_sector_size(FILE* stream, const char* name, uint32_t needed_size);

// Places the stream on the first byte of sector lba; returns a stream result code.
int seek_sector(FILE* stream, uint32_t lba, uint32_t sector_size);

// Byte offset of sector lba, in 64 bits.
inline uint64_t sector_offset(uint32_t lba, uint32_t sector_size)
{
    return static_cast<uint64_t>(lba) * sector_size;
}

// Reads and checks the descriptor at sector 16 and stores the root directory's extent and
// length in the record; prints an error naming the file and gives false when there is none.
bool read_root_directory(FILE* stream, Job_Settings& job, const char* name);
