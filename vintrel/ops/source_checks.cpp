#include "ops/source_checks.h"

#include "iso/udf.h"
#include "ops/insertion.h"
#include "ops/patch.h"
#include "settings/job_settings.h"

namespace {

// Whether sector lies strictly inside e: past its first sector and before its end.
bool strictly_inside(const Map_Extent& e, uint32_t sector)
{
    return sector > e.lba && uint64_t(sector) < uint64_t(e.lba) + e.sectors;
}

// Whether e takes the sector.
bool covers(const Map_Extent& e, uint32_t sector)
{
    return sector >= e.lba && uint64_t(sector) < uint64_t(e.lba) + e.sectors;
}

// The error for a hole over the structures that are never moved.
std::string fixed_error(uint32_t start_lba, const char* inname, uint32_t fixed_last)
{
    return "Error: a hole at sector " + std::to_string(start_lba) + " of " + inname +
           " would take the volume descriptors, path tables or root directories (up to sector " +
           std::to_string(fixed_last) + "); start it past them";
}

}  // namespace

bool check_source_for_hole(const Volume_Map& map, const char* inname, uint32_t start_lba,
                           uint32_t end_lba, std::string& error)
{
    if (start_lba <= map.fixed_last) {
        error = fixed_error(start_lba, inname, map.fixed_last);
        return false;
    }
    if (map.udf.present && start_lba <= UDF_ANCHOR_SECTOR) {
        error = "Error: a hole at sector " + std::to_string(start_lba) + " of " + inname +
                " would move the UDF anchor at sector 256, where every UDF reader looks for it; start it past sector 256";
        return false;
    }
    const uint32_t count = hole_sector_count(start_lba, end_lba);
    for (size_t i = 0; i < map.extents.size(); ++i) {
        const Map_Extent& e = map.extents[i];
        if (strictly_inside(e, start_lba)) {
            error = "Error: sector " + std::to_string(start_lba) + " of " + inname + " lies inside " +
                    describe(e) + ", which begins at sector " + std::to_string(e.lba) +
                    "; start the hole at sector " + std::to_string(e.lba) + " instead";
            return false;
        }
        if (e.lba >= start_lba && uint64_t(e.lba) + count > UINT32_MAX) {
            error = std::string("Error: ") + inname + ": the extent of " + e.path + " at sector " +
                    std::to_string(e.lba) + " would move past sector 4294967295";
            return false;
        }
        // SYSTEM.CNF on the patch sector is copied onto itself.
        if (count == 0 && covers(e, PATCH_SECTOR) && static_cast<int>(i) != map.system_cnf &&
            static_cast<int>(i) != map.udf.system_cnf) {
            error = "Error: sector " + std::to_string(PATCH_SECTOR) + " of " + inname + " holds " +
                    describe(e) + ", which the patch would overwrite; start the hole at or before sector " +
                    std::to_string(PATCH_SECTOR);
            return false;
        }
    }
    for (const Map_Descriptor& d : map.descriptors) {
        if (uint64_t(d.volume_space) + count > UINT32_MAX) {
            error = std::string("Error: ") + inname + ": the volume space would grow past sector 4294967295";
            return false;
        }
    }
    for (const Mbr_Partition& p : map.partitions) {
        if (uint64_t(p.start) + p.count + uint64_t(count) * 4 > UINT32_MAX) {
            error = std::string("Error: ") + inname + ": MBR partition " + std::to_string(p.slot + 1) +
                    " would grow past what an MBR can hold";
            return false;
        }
    }
    return check_system_cnf(map, inname, error);
}

bool check_patch_in_place(const Volume_Map& map, const char* name, std::string& error)
{
    for (const Map_Extent& e : map.extents) {
        // File data is what patching in place is allowed to overwrite.
        if (e.kind == Extent_Kind::File || e.kind == Extent_Kind::Udf_Data || e.kind == Extent_Kind::Boot_Image ||
            !covers(e, PATCH_SECTOR))
            continue;
        error = "Error: sector " + std::to_string(PATCH_SECTOR) + " of " + name + " holds " + describe(e) +
                ", which the patch would destroy; use \"vintrel a\" to build a new image instead";
        return false;
    }
    if (PATCH_SECTOR <= map.fixed_last) {
        error = "Error: sector " + std::to_string(PATCH_SECTOR) + " of " + name +
                " holds volume descriptors, which the patch would destroy";
        return false;
    }
    return true;
}

uint32_t find_start_lba(const Volume_Map& map, uint32_t limit)
{
    uint32_t best = 0;
    for (const Map_Extent& e : map.extents)
        if (e.kind == Extent_Kind::File && e.lba <= limit && e.lba > best)
            best = e.lba;
    return best;
}
