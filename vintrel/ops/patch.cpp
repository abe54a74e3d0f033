#include "ops/patch.h"

#include <unistd.h>
#include <vector>

#include "fileio/copy.h"
#include "fileio/io.h"
#include "iso/descriptors.h"
#include "iso/geometry.h"
#include "ops/console.h"
#include "ops/field_writes.h"
#include "ops/step_hook.h"
#include "settings/job_settings.h"

bool check_system_cnf(const Volume_Map& map, const char* name, std::string& error)
{
    if (map.system_cnf < 0) {
        error = std::string("Error: ") + name + " has no SYSTEM.CNF in its root directory";
        return false;
    }
    const Map_Extent& cnf = map.extents[static_cast<size_t>(map.system_cnf)];
    if (cnf.bytes > SECTOR_BYTES) {
        error = std::string("Error: SYSTEM.CNF of ") + name + " is " + std::to_string(cnf.bytes) +
                " bytes, more than one sector; at sector " + std::to_string(PATCH_SECTOR) +
                " it would overwrite the sectors after it";
        return false;
    }
    return true;
}

bool udf_repoints_system_cnf(const Volume_Map& map, const Sector_Shift& shift)
{
    if (map.udf.system_cnf < 0)
        return false;
    const uint64_t start = moved_sector(map.udf.partition_start, shift);
    const uint64_t length = grown_length(map.udf.partition_start, map.udf.partition_length, shift);
    return start <= PATCH_SECTOR && PATCH_SECTOR < start + length;
}

namespace {

// An image that ends before the patch sector is made to end with that whole sector, so it
// stays a whole number of sectors, and its volume space is made to take it in.
int extend_to_patch_sector(int fd, const Volume_Map& map, const Sector_Shift& shift, uint32_t& extended_to)
{
    const uint64_t needed = sector_offset(PATCH_SECTOR + 1);
    const int64_t length = file_size(fd);
    if (length < 0)
        return last_error();
    if (static_cast<uint64_t>(length) >= needed)
        return 0;
    int rc = extend_with_zeros(fd, needed, nullptr);
    if (rc != 0)
        return rc;
    std::vector<Field_Write> writes;
    for (const Map_Descriptor& d : map.descriptors) {
        const uint64_t grown = uint64_t(d.volume_space) + shift.count;
        const uint32_t space = grown < PATCH_SECTOR + 1 ? PATCH_SECTOR + 1 : static_cast<uint32_t>(grown);
        writes.push_back(both32_write(moved_offset(sector_offset(d.sector) + VD_VOLUME_SPACE_SIZE, shift), space));
    }
    extended_to = PATCH_SECTOR + 1;
    return apply_field_writes(fd, writes, {});
}

}  // namespace

bool patch_for_gs2(FILE* image, const Volume_Map& map, const Sector_Shift& shift, const char* name,
                   bool durable, uint32_t& extended_to, std::string& error)
{
    say("Patching For GS2...");
    if (!check_system_cnf(map, name, error))
        return false;
    const Map_Extent& cnf = map.extents[static_cast<size_t>(map.system_cnf)];
    const int fd = fileno(image);
    std::vector<uint8_t> data(static_cast<size_t>(cnf.bytes));
    const uint64_t old_lba = moved_sector(cnf.lba, shift);
    int rc = fflush(image) != 0 ? last_error() : read_full_at(fd, old_lba * SECTOR_BYTES, data.data(), data.size());
    if (rc != 0) {
        error = std::string("Error: could not read ") + name + ": " + io_reason(rc);
        return false;
    }
    // The bytes go to the patch sector first, so no field ever names a sector that does not
    // yet hold the file.
    rc = write_full_at(fd, sector_offset(PATCH_SECTOR), data.data(), data.size());
    if (rc == 0)
        rc = extend_to_patch_sector(fd, map, shift, extended_to);
    if (rc == 0 && durable && fdatasync(fd) != 0)
        rc = last_error();
    if (rc == 0)
        step_done("copied", fd);
    if (rc == 0) {
        std::vector<Field_Write> writes;
        for (const Pointer_Field& p : cnf.pointers)
            writes.push_back(pointer_write(p, PATCH_SECTOR, shift));
        if (udf_repoints_system_cnf(map, shift))
            for (const Pointer_Field& p : map.extents[static_cast<size_t>(map.udf.system_cnf)].pointers)
                writes.push_back(pointer_write(p, PATCH_SECTOR, shift));
        rc = apply_field_writes(fd, writes, moved_units(map.tag_units, shift));
    }
    if (rc != 0) {
        error = std::string("Error: could not write ") + name + ": " + io_reason(rc);
        return false;
    }
    say("Done.\n");
    return true;
}
