#pragma once
// Writing many small fields into an image, each run of neighbouring sectors read and written
// once.

#include <cstdint>
#include <vector>

#include "iso/shift.h"
#include "iso/volume_map.h"

// One field to write: its bytes at a byte of the image.
struct Field_Write {
    uint64_t offset;
    uint8_t bytes[8];
    uint8_t length;
};

// The field p of the source, at its place in the new image, naming its structure's new sector
// lba (its partition, if it counts from one, moved as shift moves it).
Field_Write pointer_write(const Pointer_Field& p, uint32_t lba, const Sector_Shift& shift);

// A little-endian 32-bit value at offset.
Field_Write le32_write(uint64_t offset, uint32_t value);

// A both-byte-order 32-bit value at offset.
Field_Write both32_write(uint64_t offset, uint32_t value);

// The source's tagged descriptors at their places in the new image, in order.
std::vector<Tag_Unit> moved_units(const std::vector<Tag_Unit>& units, const Sector_Shift& shift);

// Writes every field into the image fd, and the tag of every descriptor of units (in the
// new image's offsets, in order) that a field falls in; gives 0, an errno value or IO_SHORT.
int apply_field_writes(int fd, std::vector<Field_Write> writes, const std::vector<Tag_Unit>& units);
