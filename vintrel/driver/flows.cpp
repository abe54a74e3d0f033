#include "driver/flows.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

#include "iso/geometry.h"
#include "iso/stream.h"
#include "ops/insertion.h"
#include "ops/io_messages.h"
#include "ops/new_image.h"
#include "ops/patch.h"
#include "ops/source_checks.h"

int normal_mode(Job_Settings& job)
{
    job.EndLBA = PATCH_SECTOR;
    job.PatchForGS2 = 0;
    // Opening the new image empties it, so the source must not be it.
    if (same_file(job.inname, job.outname)) {
        print_same_file_error(job);
        return 1;
    }
    job.infile = fopen(job.inname, "rb");
    job.outfile = fopen(job.outname, "w+b");
    if (job.infile == nullptr) {
        printf("Error cannot open file %s\n", job.inname);
        return discard_new_image(job);
    }
    if (check_sector_size(job.infile, job.inname, job.SectorSize) == 1)
        return discard_new_image(job);
    if (job.outfile == nullptr) {
        printf("Error could not create file %s\n", job.outname);
        return discard_new_image(job);
    }
    if (!read_root_directory(job.infile, job, job.inname) ||
        !check_source_for_hole(job, job.StartLBA, job.EndLBA))
        return discard_new_image(job);
    if (int rc = seek_to(job.infile, 0); rc != 0) {
        print_read_error(job.inname, rc);
        return discard_new_image(job);
    }
    if (!insert_zero_sectors(job.infile, job.outfile, job.StartLBA, job.EndLBA, job.SectorSize,
                             job.PatchForGS2, job))
        return discard_new_image(job);
    return close_new_image(job) ? 0 : 1;
}

int patch_mode(Job_Settings& job)
{
    job.outfile = fopen(job.outname, "r+b");
    if (job.outfile == nullptr) {
        printf("Error opening file: %s\n", job.outname);
        return 1;
    }
    bool ok = check_sector_size(job.outfile, job.outname, job.SectorSize) == 0 &&
              read_root_directory(job.outfile, job, job.outname) &&
              patch_for_gs2(job.outfile, job.RootDirLBA, job.SizeOfRootDir, job.SectorSize,
                            job.outname, true);
    if (ok && (fflush(job.outfile) != 0 || fsync(fileno(job.outfile)) != 0)) {
        print_write_error(job.outname, last_error());
        ok = false;
    }
    if (fclose(job.outfile) != 0 && ok) {
        print_write_error(job.outname, last_error());
        ok = false;
    }
    job.outfile = nullptr;
    return ok ? 0 : 1;
}
