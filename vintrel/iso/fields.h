#pragma once
// Encoding a sector number into a pointing field of the map, in the field's own form.

#include <cstddef>
#include <cstdint>

#include "iso/volume_map.h"

// Bytes a field of the form takes.
size_t field_length(Field_Form form);

// Writes the field of the given form naming sector lba into out (field_length bytes).
void encode_field(Field_Form form, uint32_t lba, uint8_t* out);
