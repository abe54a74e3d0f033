#pragma once
// The volume descriptor set (ECMA-119 8): every directory hierarchy of an image, with its
// path tables, so that all of them can be moved together.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Descriptor byte offsets shared by primary and supplementary descriptors (ECMA-119 8.4, 8.5).
constexpr uint32_t VD_PATH_TABLE_SIZE = 132;
constexpr uint32_t VD_L_PATH_TABLE = 140;
constexpr uint32_t VD_L_PATH_TABLE_OPTIONAL = 144;
constexpr uint32_t VD_M_PATH_TABLE = 148;
constexpr uint32_t VD_M_PATH_TABLE_OPTIONAL = 152;
// Descriptors looked at before giving up on finding the set terminator.
constexpr uint32_t VD_MAX_DESCRIPTORS = 64;

// One directory hierarchy: a primary or supplementary descriptor and what it points at.
struct Volume_Tree {
    uint32_t descriptor_sector;  // where the descriptor lies
    uint32_t root_lba;           // root directory extent
    uint32_t root_size;          // root directory data length
    uint32_t volume_space;       // volume space size in sectors
    uint32_t path_table_size;    // bytes in each path table
    uint32_t path_tables[4];     // type L, optional type L, type M, optional type M; 0 for none
};

// Whether path table slot i holds most-significant-byte-first numbers (type M).
inline bool path_table_is_m(int slot)
{
    return slot >= 2;
}

// Reads the descriptor set from sector 16 on and gives every primary and supplementary
// descriptor's hierarchy (the primary first); last_sector is the last descriptor sector.
bool read_volume_trees(FILE* image, uint32_t sector_size, std::vector<Volume_Tree>& trees,
                       uint32_t& last_sector, std::string& error);

// Adds count to every path table extent at or past start_lba; gives false with error.
bool shift_path_table(FILE* image, uint32_t sector_size, const Volume_Tree& tree, int slot,
                      uint32_t start_lba, uint32_t count, std::string& error);

// Raises the volume space size of the descriptor at descriptor_sector to at least sectors.
bool grow_volume_space(FILE* image, uint32_t sector_size, uint32_t descriptor_sector,
                       uint32_t sectors, std::string& error);
