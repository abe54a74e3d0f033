#include "iso/foreign.h"

#include <cstring>

#include "iso/byte_order.h"
#include "iso/geometry.h"

namespace {

// MBR layout: four 16-byte entries from byte 446, signature 55 AA at 510.
constexpr size_t MBR_TABLE = 446;
constexpr size_t MBR_ENTRY = 16;
constexpr size_t MBR_TYPE = 4;
constexpr size_t MBR_START = 8;
constexpr size_t MBR_COUNT = 12;
constexpr uint8_t GPT_PROTECTIVE = 0xEE;

// The MBR's partitions, when sector 0 holds a sound one; a GPT when it is protective.
void read_mbr(const uint8_t* s, std::vector<Mbr_Partition>& partitions,
              std::vector<Foreign_Structure>& foreign)
{
    if (s[510] != 0x55 || s[511] != 0xAA)
        return;
    std::vector<Mbr_Partition> found;
    for (int slot = 0; slot < 4; ++slot) {
        const uint8_t* e = s + MBR_TABLE + slot * MBR_ENTRY;
        if (e[MBR_TYPE] == 0 && read_le32(e + MBR_COUNT) == 0)
            continue;
        // Only a boot indicator of 0 or 0x80 makes a partition table rather than boot code.
        if (e[0] != 0 && e[0] != 0x80)
            return;
        if (e[MBR_TYPE] == GPT_PROTECTIVE || std::memcmp(s + 512, "EFI PART", 8) == 0) {
            foreign.push_back({"a GPT partition table, which is not moved: EFI firmware and readers of "
                               "its partitions will see moved files wrong"});
            return;
        }
        found.push_back({slot, read_le32(e + MBR_START), read_le32(e + MBR_COUNT)});
    }
    partitions = found;
}

}  // namespace

uint64_t mbr_start_field(int slot)
{
    return MBR_TABLE + static_cast<uint64_t>(slot) * MBR_ENTRY + MBR_START;
}

uint64_t mbr_count_field(int slot)
{
    return MBR_TABLE + static_cast<uint64_t>(slot) * MBR_ENTRY + MBR_COUNT;
}

Mbr_Partition moved_partition(const Mbr_Partition& p, const Sector_Shift& shift)
{
    const uint64_t start = uint64_t(shift.start) * 4, count = uint64_t(shift.count) * 4;
    Mbr_Partition q = p;
    if (p.start >= start)
        q.start = static_cast<uint32_t>(p.start + count);
    else if (uint64_t(p.start) + p.count > start)
        q.count = static_cast<uint32_t>(p.count + count);
    return q;
}

bool find_foreign_structures(const Image_File& image, const std::vector<uint32_t>& set_ends,
                             std::vector<Mbr_Partition>& partitions,
                             std::vector<Foreign_Structure>& foreign, std::string& error)
{
    partitions.clear();
    foreign.clear();
    uint8_t s[SECTOR_BYTES];
    if (!read_image(image, 0, s, sizeof s, "the system area", error))
        return false;
    read_mbr(s, partitions, foreign);
    // Apple partition map: driver descriptor "ER" at byte 0, a map entry "PM" in block 1
    // of 512 or of 2048 bytes.
    bool apple = false;
    if (s[0] == 'E' && s[1] == 'R') {
        apple = s[512] == 'P' && s[513] == 'M';
        uint8_t b[2];
        if (!apple && image.length >= 2 * SECTOR_BYTES &&
            read_image(image, SECTOR_BYTES, b, sizeof b, "the system area", error))
            apple = b[0] == 'P' && b[1] == 'M';
    }
    if (apple)
        foreign.push_back({"an Apple partition map (and the HFS+ volume it may hold), which is not "
                           "moved: macOS and other readers of its partitions will see moved files wrong"});

    // libisofs writes its first checksum tag right after a descriptor set.
    for (uint32_t end : set_ends) {
        const uint64_t off = sector_offset(end + 1);
        if (off + SECTOR_BYTES > image.length)
            continue;
        if (!read_image(image, off, s, sizeof s, "the sector after the volume descriptors", error))
            return false;
        if (std::memcmp(s, "libisofs_", 9) == 0) {
            foreign.push_back({"libisofs MD5 checksum tags, which are not updated: xorriso -check_md5 "
                               "will report the new image as damaged"});
            break;
        }
    }
    return true;
}
