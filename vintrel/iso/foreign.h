#pragma once
// Structures that share an image with ISO 9660 and name sectors of it: the MBR partition
// table of a hybrid image, and those the map finds but does not move (a GPT, an Apple
// partition map, UDF, libisofs checksum tags).

#include <cstdint>
#include <string>
#include <vector>

#include "iso/image.h"
#include "iso/shift.h"

// One structure that is not moved, for a warning: what it is and what readers make of the
// new image because of it ("a GPT partition table, which is not moved: ...").
struct Foreign_Structure {
    std::string text;
};

// One MBR partition entry, in 512-byte sectors.
struct Mbr_Partition {
    int slot;        // 0 to 3
    uint32_t start;  // first 512-byte sector
    uint32_t count;  // 512-byte sectors
};

// Byte offsets of an MBR partition entry's start and count fields.
uint64_t mbr_start_field(int slot);
uint64_t mbr_count_field(int slot);

// The partition that p becomes when a hole is inserted: moved when it starts at or past the
// hole, grown when it covers the hole's start.
Mbr_Partition moved_partition(const Mbr_Partition& p, const Sector_Shift& shift);

// Byte offset of the isohybrid boot loader's field that names the boot image (in 512-byte
// sectors), in the MBR's boot code.
constexpr uint64_t MBR_BOOT_IMAGE_FIELD = 432;

// What the system area and the sectors after each descriptor set hold: the MBR partitions
// that can be moved, and the structures that cannot. set_ends are the sectors that end the
// descriptor sets (their terminators).
bool find_foreign_structures(const Image_File& image, const std::vector<uint32_t>& set_ends,
                             std::vector<Mbr_Partition>& partitions,
                             std::vector<Foreign_Structure>& foreign, std::string& error);
