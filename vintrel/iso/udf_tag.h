#pragma once
// UDF descriptor tags (ECMA-167 3/7.2): checking one before its descriptor is used, and
// writing the checksum and CRC again after the descriptor changed.

#include <cstddef>
#include <cstdint>
#include <string>

// Bytes of a descriptor tag.
constexpr uint32_t TAG_BYTES = 16;
// Tag fields.
constexpr uint32_t TAG_IDENTIFIER = 0;
constexpr uint32_t TAG_CHECKSUM = 4;
constexpr uint32_t TAG_CRC = 8;
constexpr uint32_t TAG_CRC_LENGTH = 10;
constexpr uint32_t TAG_LOCATION = 12;

// Tag identifiers (ECMA-167 3/7.2.1, 4/7.2.1).
constexpr uint16_t TAG_PRIMARY = 1;
constexpr uint16_t TAG_ANCHOR = 2;
constexpr uint16_t TAG_POINTER = 3;
constexpr uint16_t TAG_IMPLEMENTATION_USE = 4;
constexpr uint16_t TAG_PARTITION = 5;
constexpr uint16_t TAG_LOGICAL_VOLUME = 6;
constexpr uint16_t TAG_UNALLOCATED_SPACE = 7;
constexpr uint16_t TAG_TERMINATING = 8;
constexpr uint16_t TAG_INTEGRITY = 9;
constexpr uint16_t TAG_FILE_SET = 256;
constexpr uint16_t TAG_FILE_IDENTIFIER = 257;
constexpr uint16_t TAG_ALLOCATION_EXTENT = 258;
constexpr uint16_t TAG_FILE_ENTRY = 261;
constexpr uint16_t TAG_EXTENDED_FILE_ENTRY = 266;

// The CRC-ITU-T (polynomial 0x1021, initial 0) of n bytes (ECMA-167 3/7.2.6).
uint16_t udf_crc(const uint8_t* bytes, size_t n);

// The tag's identifier.
uint16_t tag_identifier(const uint8_t* d);

// Bytes the descriptor at d takes: its tag and the bytes its CRC covers.
uint32_t tagged_length(const uint8_t* d);

// Whether the descriptor at d (available bytes of it at hand) has a sound tag: the
// identifier (any of ids, ending with 0), the checksum, the location and the CRC. Gives
// false with the reason otherwise.
bool tag_sound(const uint8_t* d, size_t available, const uint16_t* ids, uint32_t location, std::string& why);

// Writes the CRC and the checksum of the descriptor at d again.
void retag(uint8_t* d);
