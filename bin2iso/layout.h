#pragma once
// Raw CD image layouts and how to tell them apart.

#include <cstdint>

// Where the 2048 bytes of user data lie in each sector of an image.
struct Raw_Layout {
    const char* name;        // for messages, e.g. "2352-byte sectors, mode 1"
    uint32_t sector_size;    // bytes per sector in the image
    uint32_t data_offset;    // first user-data byte within a sector
};

// Bytes of user data in every sector (ECMA-130 mode 1 and mode 2 form 1).
constexpr uint32_t USER_DATA = 2048;

// Sectors examined at the start of an image.
constexpr uint32_t PROBE_SECTORS = 16;

// Tells the layout from the image's first sectors (head holds the first bytes, length the
// whole image); gives false when it is none of the known ones.
bool detect_layout(const uint8_t* head, uint64_t head_size, uint64_t length, Raw_Layout& layout);
