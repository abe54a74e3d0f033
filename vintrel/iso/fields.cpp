#include "iso/fields.h"

#include "iso/byte_order.h"

size_t field_length(Field_Form form)
{
    return form == Field_Form::Both32 ? 8 : 4;
}

uint32_t field_value(const Pointer_Field& field, uint32_t lba, uint32_t base)
{
    const uint32_t value = lba + field.delta;
    return field.form == Field_Form::Udf_Rel32 ? value - base : value;
}

void encode_field(Field_Form form, uint32_t value, uint8_t* out)
{
    switch (form) {
    case Field_Form::Both32: write_both32(out, value); break;
    case Field_Form::Le32:
    case Field_Form::Udf_Rel32: write_le32(out, value); break;
    case Field_Form::Be32: write_be32(out, value); break;
    case Field_Form::Le32_512: write_le32(out, value * 4u); break;
    }
}
