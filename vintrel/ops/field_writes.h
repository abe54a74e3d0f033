#pragma once
// Writing many small fields into an image, each run of neighbouring sectors read and written
// once.

#include <cstdint>
#include <vector>

#include "iso/volume_map.h"

// One field to write: its bytes at a byte of the image.
struct Field_Write {
    uint64_t offset;
    uint8_t bytes[8];
    uint8_t length;
};

// A field of the given form naming lba, at offset.
Field_Write field_write(uint64_t offset, Field_Form form, uint32_t lba);

// A little-endian 32-bit value at offset.
Field_Write le32_write(uint64_t offset, uint32_t value);

// A both-byte-order 32-bit value at offset.
Field_Write both32_write(uint64_t offset, uint32_t value);

// Writes every field into the image fd; gives 0, an errno value or IO_SHORT.
int apply_field_writes(int fd, std::vector<Field_Write> writes);
