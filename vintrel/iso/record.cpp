#include "iso/record.h"

#include <cstring>

#include "iso/byte_order.h"

uint32_t record_lba(const ISO_Directory_Record& record)
{
    return read_le32(record.LBA);
}

uint32_t record_size(const ISO_Directory_Record& record)
{
    return read_le32(record.Size);
}

bool record_is_directory(const ISO_Directory_Record& record)
{
    return (record.Flags & FLAG_DIRECTORY) != 0;
}

bool record_is_self_or_parent(const ISO_Directory_Record& record, const std::string& name)
{
    return record.NameLength == 1 && name.empty();
}

bool read_directory_record(const uint8_t* bytes, size_t available, ISO_Directory_Record& record,
                           std::string& name)
{
    name.clear();
    if (available < RECORD_FIXED_BYTES + 1)
        return false;
    std::memcpy(&record, bytes, sizeof record);
    if (record.Length < RECORD_FIXED_BYTES + 1 || record.Length > available ||
        record.NameLength == 0 || RECORD_FIXED_BYTES + record.NameLength > record.Length)
        return false;
    const char* identifier = reinterpret_cast<const char*>(bytes + RECORD_FIXED_BYTES);
    // The identifiers 0x00 and 0x01 alone are the self and parent entries (ECMA-119 6.8.2.2).
    if (!(record.NameLength == 1 && (identifier[0] == 0 || identifier[0] == 1)))
        name.assign(identifier, record.NameLength);
    return true;
}

uint32_t system_use_offset(const ISO_Directory_Record& record)
{
    return RECORD_FIXED_BYTES + record.NameLength + (record.NameLength % 2 == 0 ? 1 : 0);
}

void write_both_endian(uint32_t value, uint8_t field[8])
{
    write_both32(field, value);
}

void rewrite_extent(uint8_t* record_bytes, uint32_t lba)
{
    write_both32(record_bytes + RECORD_LBA, lba);
}
