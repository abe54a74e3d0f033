#include "ops/relocation.h"

#include "fileio/io.h"
#include "iso/foreign.h"
#include "iso/descriptors.h"
#include "iso/byte_order.h"
#include "iso/udf.h"
#include "iso/udf_tag.h"
#include "ops/console.h"
#include "ops/field_writes.h"
#include "ops/patch.h"
#include "ops/step_hook.h"

void relocation_writes(const Volume_Map& map, const Sector_Shift& shift, std::vector<Field_Write>& writes)
{
    for (const Map_Extent& e : map.extents) {
        const uint32_t moved = static_cast<uint32_t>(moved_sector(e.lba, shift));
        for (const Pointer_Field& p : e.pointers)
            // A field counted from a partition changes when the partition moves, too.
            if (e.lba >= shift.start || (p.form == Field_Form::Udf_Rel32 && p.base >= shift.start))
                writes.push_back(pointer_write(p, moved, shift));
    }
    if (shift.count != 0) {
        for (const Map_Descriptor& d : map.descriptors)
            writes.push_back(both32_write(moved_offset(sector_offset(d.sector) + VD_VOLUME_SPACE_SIZE, shift),
                                          d.volume_space + shift.count));
    }
    const Udf_Volume& udf = map.udf;
    for (uint64_t f : udf.start_fields)
        writes.push_back(le32_write(moved_offset(f, shift), static_cast<uint32_t>(moved_sector(udf.partition_start, shift))));
    for (uint64_t f : udf.length_fields)
        writes.push_back(le32_write(moved_offset(f, shift), grown_length(udf.partition_start, udf.partition_length, shift)));
    for (const Udf_Anchor& a : udf.anchors) {
        const uint64_t at = sector_offset(static_cast<uint32_t>(moved_sector(a.sector, shift)));
        writes.push_back(le32_write(at + UDF_ANCHOR_LOCATION, static_cast<uint32_t>(moved_sector(a.sector, shift))));
        writes.push_back(le32_write(at + UDF_ANCHOR_MAIN, static_cast<uint32_t>(moved_sector(a.main_lba, shift))));
        writes.push_back(le32_write(at + UDF_ANCHOR_RESERVE, static_cast<uint32_t>(moved_sector(a.reserve_lba, shift))));
    }
    for (const Mbr_Partition& p : map.partitions) {
        const Mbr_Partition q = moved_partition(p, shift);
        writes.push_back(le32_write(moved_offset(mbr_start_field(p.slot), shift), q.start));
        writes.push_back(le32_write(moved_offset(mbr_count_field(p.slot), shift), q.count));
    }
}

namespace {

// A UDF anchor at the last sector but 255 (ECMA-167 3/8.4.2.1) that lies before the hole does
// not move, so the longer new image has none at that place; a copy is written there when the
// place lies in the hole, where nothing else is. Gives 0 or an errno value.
int copy_end_anchor(int fd, const Volume_Map& map, const Sector_Shift& shift)
{
    const uint64_t old_sectors = map.image_bytes / SECTOR_BYTES;
    const uint64_t new_sectors = old_sectors + shift.count;
    if (!map.udf.present || shift.count == 0 || new_sectors < 256)
        return 0;
    const uint64_t place = new_sectors - 256;
    for (const Udf_Anchor& a : map.udf.anchors) {
        if (uint64_t(a.sector) + 256 != old_sectors || a.sector >= shift.start || place < shift.start ||
            place >= uint64_t(shift.start) + shift.count)
            continue;
        uint8_t d[SECTOR_BYTES];
        int rc = read_full_at(fd, sector_offset(a.sector), d, sizeof d);
        if (rc != 0)
            return rc;
        write_le32(d + UDF_ANCHOR_LOCATION, static_cast<uint32_t>(place));
        write_le32(d + UDF_ANCHOR_MAIN, static_cast<uint32_t>(moved_sector(a.main_lba, shift)));
        write_le32(d + UDF_ANCHOR_RESERVE, static_cast<uint32_t>(moved_sector(a.reserve_lba, shift)));
        retag(d);
        return write_full_at(fd, sector_offset(static_cast<uint32_t>(place)), d, sizeof d);
    }
    return 0;
}

}  // namespace

bool reindex_toc(FILE* image, uint32_t StartLBA, uint32_t count, uint32_t SectorSize,
                 uint16_t PatchForGS2, Job_Settings& job, const Volume_Map& map,
                 uint32_t& extended_to, std::string& error)
{
    (void)SectorSize;
    say("Reindexing TOC\nPlease Wait...\n");
    const Sector_Shift shift{StartLBA, count};
    std::vector<Field_Write> writes;
    relocation_writes(map, shift, writes);
    int rc = fflush(image) != 0 ? last_error()
                                : apply_field_writes(fileno(image), writes, moved_units(map.tag_units, shift));
    if (rc == 0)
        rc = copy_end_anchor(fileno(image), map, shift);
    if (rc != 0) {
        error = std::string("Error: could not write ") + job.outname + ": " + io_reason(rc);
        return false;
    }
    step_done("relocated", fileno(image));
    job.RootDirLBA = map.root_lba;
    job.SizeOfRootDir = map.root_size;
    say("Done Reindexing TOC.\n");
    if (PatchForGS2 != 0)
        return true;
    return patch_for_gs2(image, map, shift, job.outname, false, extended_to, error);
}
