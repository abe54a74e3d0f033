#pragma once
// Encoding a sector number into a pointing field of the map, in the field's own form.

#include <cstddef>
#include <cstdint>

#include "iso/volume_map.h"

// Bytes a field of the form takes.
size_t field_length(Field_Form form);

// The number a field holds when its structure lies at sector lba and the partition that
// the field counts from starts at sector base.
uint32_t field_value(const Pointer_Field& field, uint32_t lba, uint32_t base);

// Writes value into out in the form's bytes (field_length of them).
void encode_field(Field_Form form, uint32_t value, uint8_t* out);
