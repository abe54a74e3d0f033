#include "ops/auto_mode.h"

#include <cstring>
#include <vector>

#include "iso/geometry.h"
#include "iso/record.h"
#include "iso/stream.h"
#include "iso/walker.h"
#include "ops/insertion.h"
#include "ops/new_image.h"
#include "ops/source_checks.h"

bool find_start_lba(uint32_t& best, Job_Settings& job, FILE* source, uint32_t extent,
                    uint32_t size, std::string& error)
{
    const uint32_t limit = job.PatchLBA;
    Record_Action candidate = [&best, limit](FILE*, uint64_t, ISO_Directory_Record& record,
                                             const std::string& name, std::string&) {
        const uint32_t lba = record_lba(record);
        // Only files count, told by the directory flag rather than by a version suffix.
        bool is_file = !record_is_directory(record) && !record_is_self_or_parent(record, name);
        if (is_file && lba <= limit && lba > best)
            best = lba;
        return true;
    };
    return walk_directory_tree(source, extent, size, job.SectorSize, candidate, error);
}

void print_patch_sector_diagnostic(Job_Settings& job)
{
    std::vector<uint8_t> sector(job.SectorSize);
    int rc = read_at(job.infile, sector_offset(job.PatchLBA, job.SectorSize), sector.data(),
                     sector.size());
    bool empty = true;
    if (rc == 0) {
        for (uint8_t b : sector)
            empty = empty && b == 0;
    }
    // A source that ends before the patch sector has nothing there to overwrite.
    if (rc != 0 && rc != IO_SHORT) {
        printf("Error: could not read %s: %s\n", job.inname, io_reason(rc));
        return;
    }
    if (empty) {
        printf("   Extra info: Empty sector present at %u\n", job.PatchLBA);
        printf("   Its possible that patching using the\n");
        printf("   Vintrel p %s\n", job.inname);
        printf("   command will not cause any corruption of data.\n");
    } else {
        printf("   Extra info: Empty sector not present at %u\n", job.PatchLBA);
    }
}

int auto_mode(Job_Settings& job)
{
    job.infile = fopen(job.inname, "rb");
    if (job.infile == nullptr) {
        printf("Error opening %s\n", job.inname);
        return 1;
    }
    if (check_sector_size(job.infile, job.inname, job.SectorSize) == 1) {
        fclose(job.infile);
        return 1;
    }
    if (same_file(job.inname, job.outname)) {
        print_same_file_error(job);
        fclose(job.infile);
        return 1;
    }
    job.outfile = fopen(job.outname, "w+b");
    if (job.outfile == nullptr) {
        printf("Error making %s\n", job.outname);
        fclose(job.infile);
        return 1;
    }
    if (!read_root_directory(job.infile, job, job.inname))
        return discard_new_image(job);

    uint32_t best = 0;
    std::string error;
    if (!find_start_lba(best, job, job.infile, job.RootDirLBA, job.SizeOfRootDir, error)) {
        printf("Error: %s: %s\n", job.inname, error.c_str());
        return discard_new_image(job);
    }
    if (best == 0) {
        printf("Error: Could not find a suitable LBA\n");
        print_patch_sector_diagnostic(job);
        close_new_image(job);
        return 1;
    }
    printf("LBA selected : %u\n", best);
    job.StartLBA = best;
    job.EndLBA = PATCH_SECTOR;
    if (!check_source_for_hole(job, job.StartLBA, job.EndLBA))
        return discard_new_image(job);
    if (seek_to(job.infile, 0) != 0 ||
        !insert_zero_sectors(job.infile, job.outfile, job.StartLBA, job.EndLBA, job.SectorSize,
                             job.PatchForGS2, job))
        return discard_new_image(job);
    return close_new_image(job) ? 0 : 1;
}
