#include "iso/record.h"

#include <cerrno>
#include <cstring>

#include "iso/bytes.h"
#include "iso/stream.h"

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

int read_directory_record(FILE* stream, ISO_Directory_Record& record, std::string& name)
{
    name.clear();
    int rc = read_exact(stream, &record, sizeof record);
    if (rc != 0)
        return rc;
    char identifier[256];
    rc = read_exact(stream, identifier, record.NameLength);
    if (rc != 0)
        return rc;
    // The identifier as stored, up to a zero byte; 0x00 and 0x01 alone are the self and
    // parent entries and give the empty name.
    if (!(record.NameLength == 1 && identifier[0] == 1))
        name.assign(identifier, strnlen(identifier, record.NameLength));
    long step = static_cast<long>(record.Length) - static_cast<long>(RECORD_FIXED_BYTES) -
                static_cast<long>(record.NameLength);
    if (step != 0 && fseeko(stream, step, SEEK_CUR) != 0)
        return last_error();
    return 0;
}

void write_both_endian(uint32_t value, uint8_t field[8])
{
    for (int i = 0; i < 4; ++i) {
        uint8_t byte = static_cast<uint8_t>(value >> (8 * i));
        field[i] = byte;
        field[7 - i] = byte;
    }
}

int rewrite_extent(FILE* stream, const ISO_Directory_Record& record)
{
    if (fseeko(stream, RECORD_LBA, SEEK_CUR) != 0)
        return last_error();
    return write_exact(stream, record.LBA, sizeof record.LBA);
}

int repoint_record(FILE* stream, uint64_t record_pos, ISO_Directory_Record& record, uint32_t new_lba)
{
    write_both_endian(new_lba, record.LBA);
    int rc = seek_to(stream, record_pos);
    if (rc == 0)
        rc = rewrite_extent(stream, record);
    if (rc == 0)
        rc = seek_to(stream, record_pos + record.Length);
    return rc;
}
