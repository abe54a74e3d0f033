#include "driver/flows.h"

#include <cstdio>
#include <unistd.h>

#include "driver/root_directory.h"
#include "fileio/io.h"
#include "fileio/paths.h"
#include "iso/geometry.h"
#include "iso/map_compare.h"
#include "iso/volume_map.h"
#include "ops/console.h"
#include "ops/image_run.h"
#include "ops/interrupt.h"
#include "ops/new_image.h"
#include "ops/patch.h"
#include "ops/step_hook.h"
#include "ops/source_checks.h"
#include "ops/verify.h"

int normal_mode(Job_Settings& job)
{
    watch_interruptions();
    job.EndLBA = PATCH_SECTOR;
    job.PatchForGS2 = 0;
    // Opening the new image empties it, so the source must not be it.
    if (same_file(job.inname, job.outname)) {
        say_line(same_file_error(job));
        return 1;
    }
    job.infile = fopen(job.inname, "rb");
    job.outfile = fopen(job.outname, "w+b");
    std::string error;
    if (job.infile == nullptr)
        return fail_new_image(job, std::string("Error cannot open file ") + job.inname);
    if (check_sector_size(job.infile, job.inname, job.SectorSize, error) == 1)
        return fail_new_image(job, error);
    if (job.outfile == nullptr)
        return fail_new_image(job, std::string("Error could not create file ") + job.outname);
    Volume_Map map;
    if (!read_source_map(job, map, error))
        return fail_new_image(job, error);
    return build_new_image(job, map);
}

namespace {

// Patches the open image in place and checks the result; gives false with the error line.
bool patch_and_verify(Job_Settings& job, std::string& error)
{
    Volume_Map map;
    if (!read_root_directory(job.outfile, job, map, error) || !check_patch_in_place(map, job.outname, error))
        return false;
    const Sector_Shift none{0, 0};
    // patch_for_gs2 reports a missing or oversized SYSTEM.CNF after its own first words.
    std::vector<uint8_t> system_cnf;
    if (map.system_cnf >= 0 && map.extents[static_cast<size_t>(map.system_cnf)].bytes <= job.SectorSize &&
        !read_system_cnf(fileno(job.outfile), job.outname, map, none, system_cnf, error))
        return false;
    // Once the patch has begun it runs to its end: copy, sync, repoint and check.
    step_done("mapped", fileno(job.outfile));
    if (interrupted()) {
        fclose(job.outfile);
        say_line(std::string("Interrupted: ") + job.outname + " was not patched");
        end_by_interruption();
    }
    uint32_t extended_to = 0;
    if (!patch_for_gs2(job.outfile, map, none, job.outname, true, extended_to, error))
        return false;
    if (fsync(fileno(job.outfile)) != 0) {
        error = std::string("Error: could not write ") + job.outname + ": " + io_reason(last_error());
        return false;
    }
    return verify_image(fileno(job.outfile), job.outname, map, none, expected_change(map, none, true, extended_to),
                        system_cnf, error);
}

}  // namespace

int patch_mode(Job_Settings& job)
{
    watch_interruptions();
    job.outfile = fopen(job.outname, "r+b");
    if (job.outfile == nullptr) {
        say_line(std::string("Error opening file: ") + job.outname);
        return 1;
    }
    std::string error;
    bool ok = check_sector_size(job.outfile, job.outname, job.SectorSize, error) == 0 &&
              patch_and_verify(job, error);
    if (fclose(job.outfile) != 0 && ok) {
        error = std::string("Error: could not write ") + job.outname + ": " + io_reason(last_error());
        ok = false;
    }
    job.outfile = nullptr;
    if (!ok)
        say_line(error);
    if (interrupted())
        end_by_interruption();
    return ok ? 0 : 1;
}
