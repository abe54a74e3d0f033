#include "iso/descriptors.h"

#include <algorithm>
#include <cstring>

#include "iso/byte_order.h"
#include "iso/geometry.h"
#include "iso/record.h"

namespace {

// Whether the sector holds a volume descriptor: the standard identifier and version 1 or 2.
bool is_descriptor(const uint8_t* d)
{
    return std::memcmp(d + VD_IDENTIFIER, "CD001", 5) == 0 && (d[VD_VERSION] == 1 || d[VD_VERSION] == 2);
}

// The descriptor's fields, from its bytes.
Volume_Descriptor decode(uint32_t sector, const uint8_t* d)
{
    Volume_Descriptor v{};
    v.sector = sector;
    v.type = d[VD_TYPE];
    v.version = d[VD_VERSION];
    if (v.type == VD_PRIMARY || v.type == VD_SUPPLEMENTARY) {
        v.volume_space = read_le32(d + VD_VOLUME_SPACE_SIZE);
        v.root_lba = read_le32(d + VD_ROOT_RECORD + RECORD_LBA);
        v.root_size = read_le32(d + VD_ROOT_RECORD + RECORD_SIZE);
        v.path_table_size = read_le32(d + VD_PATH_TABLE_SIZE);
        for (int slot = 0; slot < 4; ++slot) {
            const uint8_t* f = d + path_table_field(slot);
            v.path_tables[slot] = path_table_is_m(slot) ? read_be32(f) : read_le32(f);
        }
        // Joliet names its UCS-2 level by one of three escape sequences.
        const uint8_t* e = d + VD_ESCAPE_SEQUENCES;
        v.joliet = v.type == VD_SUPPLEMENTARY && e[0] == '%' && e[1] == '/' &&
                   (e[2] == '@' || e[2] == 'C' || e[2] == 'E');
    }
    if (v.type == VD_BOOT_RECORD && std::memcmp(d + VD_BOOT_SYSTEM, EL_TORITO_ID, EL_TORITO_ID_LENGTH) == 0)
        v.boot_catalog = read_le32(d + VD_BOOT_CATALOG);
    return v;
}

// Reads one set from sector first to its terminator (or its end); false on a read failure.
bool read_set(const Image_File& image, uint32_t first, std::vector<Volume_Descriptor>& out,
              std::string& error)
{
    uint8_t d[SECTOR_BYTES];
    for (uint32_t n = 0; n < VD_MAX_DESCRIPTORS; ++n) {
        const uint64_t off = sector_offset(first + n);
        // A set that ends without its terminator is taken as it stands.
        if (off + SECTOR_BYTES > image.length)
            return true;
        if (!read_image(image, off, d, sizeof d, "the volume descriptors", error))
            return false;
        if (!is_descriptor(d))
            return true;
        out.push_back(decode(first + n, d));
        if (d[VD_TYPE] == VD_TERMINATOR)
            return true;
    }
    return true;
}

}  // namespace

uint32_t path_table_field(int slot)
{
    static const uint32_t fields[4] = {VD_L_PATH_TABLE, VD_L_PATH_TABLE_OPTIONAL, VD_M_PATH_TABLE,
                                       VD_M_PATH_TABLE_OPTIONAL};
    return fields[slot];
}

bool read_volume_descriptors(const Image_File& image, const char* name,
                             std::vector<Volume_Descriptor>& descriptors, std::string& error)
{
    descriptors.clear();
    if (image.length < sector_offset(DESCRIPTOR_SECTOR + 1)) {
        error = std::string(name) + " is too short to hold an ISO 9660 volume descriptor";
        return false;
    }
    std::string why;
    if (!read_set(image, DESCRIPTOR_SECTOR, descriptors, why)) {
        error = std::string(name) + ": " + why;
        return false;
    }
    if (descriptors.empty() || descriptors[0].type != VD_PRIMARY || descriptors[0].version != 1) {
        error = std::string(name) + " has no ISO 9660 primary volume descriptor at sector 16";
        return false;
    }
    // A further copy of the set (libisofs keeps one at the start of its session) lies after
    // the first set and before everything the set points at.
    uint64_t limit = descriptors.back().sector + 1 + VD_COPY_SEARCH;
    for (const Volume_Descriptor& v : descriptors) {
        if (v.type != VD_PRIMARY && v.type != VD_SUPPLEMENTARY)
            continue;
        limit = std::min<uint64_t>(limit, v.root_lba);
        for (uint32_t table : v.path_tables)
            if (table != 0)
                limit = std::min<uint64_t>(limit, table);
    }
    limit = std::min<uint64_t>(limit, image.length / SECTOR_BYTES);
    uint8_t d[SECTOR_BYTES];
    for (uint64_t s = descriptors.back().sector + 1; s < limit; ++s) {
        if (!read_image(image, sector_offset(static_cast<uint32_t>(s)), d, sizeof d,
                        "the volume descriptors", why)) {
            error = std::string(name) + ": " + why;
            return false;
        }
        if (!is_descriptor(d) || d[VD_TYPE] != VD_PRIMARY)
            continue;
        const size_t before = descriptors.size();
        if (!read_set(image, static_cast<uint32_t>(s), descriptors, why)) {
            error = std::string(name) + ": " + why;
            return false;
        }
        s = descriptors.back().sector;
        if (descriptors.size() == before)
            break;
    }
    return true;
}
