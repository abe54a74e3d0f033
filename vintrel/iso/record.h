#pragma once
// Directory records (ECMA-119 9.1): reading one from the bytes of a directory, and writing a
// new extent into one.

#include <cstddef>
#include <cstdint>
#include <string>

// Byte offsets inside a directory record (ECMA-119 9.1).
constexpr uint32_t RECORD_LENGTH = 0;
constexpr uint32_t RECORD_LBA = 2;
constexpr uint32_t RECORD_SIZE = 10;
constexpr uint32_t RECORD_FLAGS = 25;
constexpr uint32_t RECORD_NAME_LENGTH = 32;
constexpr uint32_t RECORD_FIXED_BYTES = 33;

// File flag bits (ECMA-119 9.1.6).
constexpr uint8_t FLAG_DIRECTORY = 0x02;
constexpr uint8_t FLAG_MULTI_EXTENT = 0x80;

// The 33-byte fixed part of a directory record, exactly as stored.
struct ISO_Directory_Record {
    uint8_t Length;             // whole record length in bytes
    uint8_t ExtAttrLength;      // extended attribute record length
    uint8_t LBA[8];             // location of extent, both-byte order
    uint8_t Size[8];            // data length, both-byte order
    uint8_t Date[7];            // recording date and time
    uint8_t Flags;              // file flags
    uint8_t FileUnitSize;       // interleaved file unit size
    uint8_t InterleaveGap;      // interleave gap size
    uint8_t VolumeSequence[4];  // volume sequence number, both-byte order
    uint8_t NameLength;         // length of the file identifier
};
static_assert(sizeof(ISO_Directory_Record) == RECORD_FIXED_BYTES);

// Extent of a record: the little-endian half of its location field.
uint32_t record_lba(const ISO_Directory_Record& record);

// Data length of a record: the little-endian half of its length field.
uint32_t record_size(const ISO_Directory_Record& record);

// True when the record's directory flag is set.
bool record_is_directory(const ISO_Directory_Record& record);

// True for the self and parent entries (identifier of the single byte 0 or 1).
bool record_is_self_or_parent(const ISO_Directory_Record& record, const std::string& name);

// Reads the record at the start of bytes (available bytes of directory data from there on)
// into record and its identifier into name, every byte of it (a Joliet identifier holds zero
// bytes), or empty for the self and parent entries. Gives false when the record is damaged: shorter than its fixed part and
// one identifier byte, an identifier of no bytes or running past the record, or a record
// running past the bytes available.
bool read_directory_record(const uint8_t* bytes, size_t available, ISO_Directory_Record& record,
                           std::string& name);

// Offset of the record's system use area from its first byte (ECMA-119 9.1.13).
uint32_t system_use_offset(const ISO_Directory_Record& record);

// Writes value into an 8-byte both-byte-order field (ECMA-119 7.3.3).
void write_both_endian(uint32_t value, uint8_t field[8]);

// Writes lba into bytes 2-9 of the record whose bytes start at record_bytes.
void rewrite_extent(uint8_t* record_bytes, uint32_t lba);
