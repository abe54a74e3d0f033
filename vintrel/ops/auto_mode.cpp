#include "ops/auto_mode.h"

#include <vector>

#include "fileio/io.h"
#include "fileio/paths.h"
#include "iso/geometry.h"
#include "iso/volume_map.h"
#include "ops/console.h"
#include "ops/image_run.h"
#include "ops/insertion.h"
#include "ops/interrupt.h"
#include "ops/new_image.h"
#include "ops/source_checks.h"

bool patch_sector_diagnostic(Job_Settings& job, std::vector<std::string>& lines, std::string& error)
{
    std::vector<uint8_t> sector(job.SectorSize);
    const int rc = read_full_at(fileno(job.infile), sector_offset(job.PatchLBA, job.SectorSize),
                                sector.data(), sector.size());
    // A source that ends before the patch sector has nothing there to overwrite.
    if (rc != 0 && rc != IO_SHORT) {
        error = std::string("Error: could not read ") + job.inname + ": " + io_reason(rc);
        return false;
    }
    bool empty = true;
    if (rc == 0)
        for (uint8_t b : sector)
            empty = empty && b == 0;
    const std::string at = std::to_string(job.PatchLBA);
    if (empty) {
        lines = {"   Extra info: Empty sector present at " + at, "   Its possible that patching using the",
                 std::string("   Vintrel p ") + job.inname, "   command will not cause any corruption of data."};
    } else {
        lines = {"   Extra info: Empty sector not present at " + at};
    }
    return true;
}

int auto_mode(Job_Settings& job)
{
    watch_interruptions();
    std::string error;
    job.infile = fopen(job.inname, "rb");
    if (job.infile == nullptr) {
        say_line(std::string("Error opening ") + job.inname);
        return 1;
    }
    if (check_sector_size(job.infile, job.inname, job.SectorSize, error) == 1) {
        say_line(error);
        fclose(job.infile);
        return 1;
    }
    if (same_file(job.inname, job.outname)) {
        say_line(same_file_error(job));
        fclose(job.infile);
        return 1;
    }
    job.outfile = fopen(job.outname, "w+b");
    if (job.outfile == nullptr) {
        say_line(std::string("Error making ") + job.outname);
        fclose(job.infile);
        return 1;
    }
    Volume_Map map;
    if (!read_source_map(job, map, error))
        return fail_new_image(job, error);

    const uint32_t best = find_start_lba(map, job.PatchLBA);
    if (best == 0) {
        say_line("Error: Could not find a suitable LBA");
        std::vector<std::string> lines;
        if (!patch_sector_diagnostic(job, lines, error))
            lines = {error};
        for (const std::string& line : lines)
            say_line(line);
        Pending_File none;
        return discard_new_image(job, none);
    }
    say(("LBA selected : " + std::to_string(best) + "\n").c_str());
    job.StartLBA = best;
    job.EndLBA = PATCH_SECTOR;
    return build_new_image(job, map);
}
