#include "iso/volume.h"

#include <cstring>

#include "iso/bytes.h"
#include "iso/geometry.h"
#include "iso/record.h"
#include "iso/stream.h"

// Largest path table handled; a disc with tens of thousands of directories stays far below.
constexpr uint32_t PATH_TABLE_LIMIT = 16u << 20;

// Reads the 32-bit most-significant-byte-first number at p (type M path tables).
static uint32_t read_be32(const uint8_t* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

bool read_volume_trees(FILE* image, uint32_t sector_size, std::vector<Volume_Tree>& trees,
                       uint32_t& last_sector, std::string& error)
{
    trees.clear();
    last_sector = DESCRIPTOR_SECTOR;
    for (uint32_t n = 0; n < VD_MAX_DESCRIPTORS; ++n) {
        const uint32_t sector = DESCRIPTOR_SECTOR + n;
        uint8_t d[DESCRIPTOR_BYTES];
        int rc = read_at(image, sector_offset(sector, sector_size), d, sizeof d);
        // A set that ends without its terminator is taken as it stands.
        if (rc == IO_SHORT || std::memcmp(d + PVD_IDENTIFIER, "CD001", 5) != 0)
            break;
        if (rc != 0) {
            error = std::string("could not read the volume descriptors: ") + io_reason(rc);
            return false;
        }
        last_sector = sector;
        if (d[PVD_TYPE] == 255)
            break;
        if (d[PVD_TYPE] != 1 && d[PVD_TYPE] != 2)
            continue;
        Volume_Tree tree;
        tree.descriptor_sector = sector;
        tree.root_lba = read_le32(d + PVD_ROOT_RECORD + RECORD_LBA);
        tree.root_size = read_le32(d + PVD_ROOT_RECORD + RECORD_SIZE);
        tree.volume_space = read_le32(d + PVD_VOLUME_SPACE_SIZE);
        tree.path_table_size = read_le32(d + VD_PATH_TABLE_SIZE);
        tree.path_tables[0] = read_le32(d + VD_L_PATH_TABLE);
        tree.path_tables[1] = read_le32(d + VD_L_PATH_TABLE_OPTIONAL);
        tree.path_tables[2] = read_be32(d + VD_M_PATH_TABLE);
        tree.path_tables[3] = read_be32(d + VD_M_PATH_TABLE_OPTIONAL);
        if (d[PVD_TYPE] == 1 && trees.empty())
            trees.insert(trees.begin(), tree);
        else
            trees.push_back(tree);
    }
    if (trees.empty()) {
        error = "no ISO 9660 primary volume descriptor at sector 16";
        return false;
    }
    return true;
}

bool shift_path_table(FILE* image, uint32_t sector_size, const Volume_Tree& tree, int slot,
                      uint32_t start_lba, uint32_t count, std::string& error)
{
    const uint32_t location = tree.path_tables[slot];
    if (location == 0 || tree.path_table_size == 0)
        return true;
    if (tree.path_table_size > PATH_TABLE_LIMIT) {
        error = "path table of " + std::to_string(tree.path_table_size) + " bytes is too large";
        return false;
    }
    const uint64_t offset = sector_offset(location, sector_size);
    std::vector<uint8_t> table(tree.path_table_size);
    int rc = read_at(image, offset, table.data(), table.size());
    if (rc != 0) {
        error = "could not read the path table at sector " + std::to_string(location) + ": " +
                io_reason(rc);
        return false;
    }
    const bool m = path_table_is_m(slot);
    // Path table records (ECMA-119 9.4): identifier length, extended attribute length, extent,
    // parent number, identifier, a pad byte after an odd identifier. Each turn moves on by at
    // least 8 bytes.
    bool changed = false;
    for (size_t pos = 0; pos + 8 <= table.size();) {
        const uint8_t id_length = table[pos];
        if (id_length == 0)
            break;
        uint8_t* extent = &table[pos + 2];
        const uint32_t lba = m ? read_be32(extent) : read_le32(extent);
        if (lba >= start_lba) {
            if (lba > UINT32_MAX - count) {
                error = "a path table extent at sector " + std::to_string(lba) +
                        " would move past sector 4294967295";
                return false;
            }
            const uint32_t moved = lba + count;
            for (int i = 0; i < 4; ++i)
                extent[i] = static_cast<uint8_t>(m ? moved >> (24 - 8 * i) : moved >> (8 * i));
            changed = true;
        }
        pos += 8 + id_length + (id_length % 2);
    }
    if (!changed)
        return true;
    rc = write_at(image, offset, table.data(), table.size());
    if (rc != 0) {
        error = "could not write the path table at sector " + std::to_string(location) + ": " +
                io_reason(rc);
        return false;
    }
    return true;
}

bool grow_volume_space(FILE* image, uint32_t sector_size, uint32_t descriptor_sector,
                       uint32_t sectors, std::string& error)
{
    const uint64_t offset = sector_offset(descriptor_sector, sector_size) + PVD_VOLUME_SPACE_SIZE;
    uint8_t field[8];
    int rc = read_at(image, offset, field, sizeof field);
    if (rc == 0 && read_le32(field) >= sectors)
        return true;
    if (rc == 0) {
        write_both_endian(sectors, field);
        rc = write_at(image, offset, field, sizeof field);
    }
    if (rc != 0) {
        error = std::string("could not update the volume space size: ") + io_reason(rc);
        return false;
    }
    return true;
}
