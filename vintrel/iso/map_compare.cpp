#include "iso/map_compare.h"

#include <algorithm>

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
            a.pointers[i].form != b.pointers[i].form)
            return what + " is named from byte " + std::to_string(a.pointers[i].offset) +
                   " instead of byte " + std::to_string(moved_offset(b.pointers[i].offset, shift));
    return std::string();
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
        const uint64_t expected = static_cast<int>(i) == before.system_cnf ? change.system_cnf_lba
                                                                            : moved_sector(b.lba, shift);
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
