#include "iso/map_compare.h"

#include <algorithm>

#include "iso/udf.h"

namespace {

// "N structures" for messages.
std::string count_of(size_t n, const char* what)
{
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

// The first difference between two structures, or an empty text.
std::string extent_difference(const Map_Extent& b, const Map_Extent& a, uint64_t expected_lba,
                              const Sector_Shift& shift)
{
    const std::string what = describe(b);
    if (a.kind != b.kind || a.path != b.path)
        return what + " is missing; " + describe(a) + " stands in its place";
    if (a.lba != expected_lba)
        return what + " lies at sector " + std::to_string(a.lba) + " instead of sector " +
               std::to_string(expected_lba);
    if (a.bytes != b.bytes || a.sectors != b.sectors)
        return what + " is " + std::to_string(a.bytes) + " bytes long instead of " + std::to_string(b.bytes);
    if (a.pointers.size() != b.pointers.size())
        return what + " is named by " + count_of(a.pointers.size(), "field") + " instead of " +
               std::to_string(b.pointers.size());
    for (size_t i = 0; i < b.pointers.size(); ++i)
        if (a.pointers[i].offset != moved_offset(b.pointers[i].offset, shift) ||
            a.pointers[i].form != b.pointers[i].form || a.pointers[i].delta != b.pointers[i].delta ||
            a.pointers[i].base != moved_sector(b.pointers[i].base, shift))
            return what + " is named from byte " + std::to_string(a.pointers[i].offset) +
                   " instead of byte " + std::to_string(moved_offset(b.pointers[i].offset, shift));
    return std::string();
}

// The UDF partition and anchors after the hole: the partition moved or grown, every anchor
// that moved with the data at its new place, naming the moved sequences.
bool same_udf(const Udf_Volume& b, const Udf_Volume& a, uint64_t after_sectors, const Sector_Shift& shift,
              std::string& error)
{
    if (a.present != b.present) {
        error = b.present ? "its UDF side cannot be read" : "it has a UDF side that the source lacks";
        return false;
    }
    if (!b.present)
        return true;
    const uint64_t start = moved_sector(b.partition_start, shift);
    const uint32_t length = grown_length(b.partition_start, b.partition_length, shift);
    if (a.partition_start != start || a.partition_length != length) {
        error = "its UDF partition covers " + std::to_string(a.partition_length) + " sectors from sector " +
                std::to_string(a.partition_start) + " instead of " + std::to_string(length) + " from " +
                std::to_string(start);
        return false;
    }
    for (const Udf_Anchor& anchor : b.anchors) {
        const uint64_t at = moved_sector(anchor.sector, shift);
        const Udf_Anchor* found = nullptr;
        for (const Udf_Anchor& x : a.anchors)
            if (x.sector == at)
                found = &x;
        // One that no longer lies where anchors are looked for (the image grew past it) is not
        // looked for.
        if (found == nullptr && !anchor_place(at, after_sectors, uint64_t(a.partition_start) + a.partition_length))
            continue;
        if (found == nullptr || found->main_lba != moved_sector(anchor.main_lba, shift) ||
            found->reserve_lba != moved_sector(anchor.reserve_lba, shift)) {
            error = "the UDF anchor at sector " + std::to_string(at) + " is missing or names the wrong sequences";
            return false;
        }
    }
    return true;
}

}  // namespace

bool compare_maps(const Volume_Map& before, const Volume_Map& after, const Sector_Shift& shift,
                  const Expected_Change& change, std::string& error)
{
    uint64_t expected_bytes = before.image_bytes + sector_offset(shift.count);
    if (change.extended_to != 0)
        expected_bytes = std::max<uint64_t>(expected_bytes, sector_offset(change.extended_to));
    if (after.image_bytes != expected_bytes) {
        error = "the image is " + std::to_string(after.image_bytes) + " bytes long instead of " +
                std::to_string(expected_bytes);
        return false;
    }
    if (after.descriptors.size() != before.descriptors.size()) {
        error = "it has " + count_of(after.descriptors.size(), "volume descriptor") + " instead of " +
                std::to_string(before.descriptors.size());
        return false;
    }
    for (size_t i = 0; i < before.descriptors.size(); ++i) {
        const Map_Descriptor& b = before.descriptors[i];
        const Map_Descriptor& a = after.descriptors[i];
        uint64_t space = uint64_t(b.volume_space) + shift.count;
        if (change.extended_to != 0)
            space = std::max<uint64_t>(space, change.extended_to);
        if (a.sector != b.sector || a.volume_space != space) {
            error = "the volume descriptor at sector " + std::to_string(b.sector) + " gives a volume space of " +
                    std::to_string(a.volume_space) + " sectors instead of " + std::to_string(space);
            return false;
        }
    }
    const size_t common = std::min(before.extents.size(), after.extents.size());
    for (size_t i = 0; i < common; ++i) {
        const Map_Extent& b = before.extents[i];
        uint64_t expected = moved_sector(b.lba, shift);
        if (static_cast<int>(i) == before.system_cnf)
            expected = change.system_cnf_lba;
        if (static_cast<int>(i) == before.udf.system_cnf)
            expected = change.udf_system_cnf_lba;
        error = extent_difference(b, after.extents[i], expected, shift);
        if (!error.empty())
            return false;
    }
    if (after.extents.size() < before.extents.size()) {
        error = describe(before.extents[common]) + " is missing";
        return false;
    }
    if (after.extents.size() > before.extents.size()) {
        error = describe(after.extents[common]) + " is not in the source image";
        return false;
    }
    if (after.system_cnf != before.system_cnf) {
        error = "SYSTEM.CNF is not where it should be in the root directory";
        return false;
    }
    if (!same_udf(before.udf, after.udf, after.image_bytes / SECTOR_BYTES, shift, error))
        return false;
    if (after.partitions.size() != before.partitions.size()) {
        error = "its MBR has " + count_of(after.partitions.size(), "partition") + " instead of " +
                std::to_string(before.partitions.size());
        return false;
    }
    for (size_t i = 0; i < before.partitions.size(); ++i) {
        const Mbr_Partition want = moved_partition(before.partitions[i], shift);
        const Mbr_Partition& got = after.partitions[i];
        if (got.slot != want.slot || got.start != want.start || got.count != want.count) {
            error = "MBR partition " + std::to_string(want.slot + 1) + " covers " + std::to_string(got.count) +
                    " sectors of 512 bytes from " + std::to_string(got.start) + " instead of " +
                    std::to_string(want.count) + " from " + std::to_string(want.start);
            return false;
        }
    }
    return true;
}
