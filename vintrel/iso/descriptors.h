#pragma once
// The volume descriptor set (ECMA-119 8): from sector 16 to its terminator, and the further
// copies of it that some mastering tools keep before the path tables.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "iso/image.h"

// First sector of the volume descriptor set (ECMA-119 6.2.1).
constexpr uint32_t DESCRIPTOR_SECTOR = 16;
// Volume descriptor types (ECMA-119 8.1.1).
constexpr uint8_t VD_BOOT_RECORD = 0;
constexpr uint8_t VD_PRIMARY = 1;
constexpr uint8_t VD_SUPPLEMENTARY = 2;
constexpr uint8_t VD_TERMINATOR = 255;
// Descriptor byte offsets (ECMA-119 8.4, 8.5; El Torito 2.0).
constexpr uint32_t VD_TYPE = 0;
constexpr uint32_t VD_IDENTIFIER = 1;
constexpr uint32_t VD_VERSION = 6;
constexpr uint32_t VD_BOOT_SYSTEM = 7;
// Boot system identifier of an El Torito boot record volume descriptor (El Torito 2.0).
constexpr char EL_TORITO_ID[] = "EL TORITO SPECIFICATION";
constexpr size_t EL_TORITO_ID_LENGTH = sizeof(EL_TORITO_ID) - 1;
constexpr uint32_t VD_BOOT_CATALOG = 71;
constexpr uint32_t VD_VOLUME_SPACE_SIZE = 80;
constexpr uint32_t VD_ESCAPE_SEQUENCES = 88;
constexpr uint32_t VD_PATH_TABLE_SIZE = 132;
constexpr uint32_t VD_L_PATH_TABLE = 140;
constexpr uint32_t VD_L_PATH_TABLE_OPTIONAL = 144;
constexpr uint32_t VD_M_PATH_TABLE = 148;
constexpr uint32_t VD_M_PATH_TABLE_OPTIONAL = 152;
constexpr uint32_t VD_ROOT_RECORD = 156;
// Descriptors read in one set before giving up on its terminator.
constexpr uint32_t VD_MAX_DESCRIPTORS = 64;
// Sectors after the first set searched for a further copy of it.
constexpr uint32_t VD_COPY_SEARCH = 256;

// One volume descriptor, as far as the map needs it.
struct Volume_Descriptor {
    uint32_t sector;
    uint8_t type;
    uint8_t version;
    bool joliet;               // supplementary with a UCS-2 escape sequence (Joliet)
    uint32_t volume_space;     // primary and supplementary: volume space size in sectors
    uint32_t root_lba;         // primary and supplementary: root directory extent
    uint32_t root_size;        // and its data length
    uint32_t path_table_size;  // bytes in each path table
    uint32_t path_tables[4];   // type L, optional type L, type M, optional type M; 0 for none
    uint32_t boot_catalog;     // El Torito boot record: the catalog's sector; 0 otherwise
};

// Byte offset, inside a descriptor, of the location field of path table slot i.
uint32_t path_table_field(int slot);

// Whether path table slot i holds most-significant-byte-first numbers (type M).
inline bool path_table_is_m(int slot)
{
    return slot >= 2;
}

// Reads the descriptor set from sector 16 on, and any further copy of it that starts within
// the sectors after the first terminator and before the first path table or root directory.
// Sector 16 must hold a primary descriptor. On failure gives false with a reason in error
// ("NAME has no ..." or "NAME: ..."), name being the image's name for messages.
bool read_volume_descriptors(const Image_File& image, const char* name,
                             std::vector<Volume_Descriptor>& descriptors, std::string& error);
