#include "iso/fields.h"

#include "iso/byte_order.h"

size_t field_length(Field_Form form)
{
    return form == Field_Form::Both32 ? 8 : 4;
}

void encode_field(Field_Form form, uint32_t lba, uint8_t* out)
{
    switch (form) {
    case Field_Form::Both32: write_both32(out, lba); break;
    case Field_Form::Le32: write_le32(out, lba); break;
    case Field_Form::Be32: write_be32(out, lba); break;
    case Field_Form::Le32_512: write_le32(out, lba * 4u); break;
    }
}
