#include "ops/image_run.h"

#include "fileio/io.h"
#include "ops/console.h"
#include "ops/insertion.h"
#include "ops/new_image.h"
#include "ops/source_checks.h"

bool read_image_map(FILE* stream, const char* name, Volume_Map& map, std::string& error)
{
    const int fd = fileno(stream);
    const int64_t length = fflush(stream) == 0 ? file_size(fd) : -1;
    if (length < 0) {
        error = std::string("Error: could not read ") + name + ": " + io_reason(last_error());
        return false;
    }
    if (!build_volume_map(Image_File{fd, static_cast<uint64_t>(length)}, name, map, error)) {
        error = "Error: " + error;
        return false;
    }
    return true;
}

bool read_source_map(Job_Settings& job, Volume_Map& map, std::string& error)
{
    if (!read_image_map(job.infile, job.inname, map, error))
        return false;
    job.RootDirLBA = map.root_lba;
    job.SizeOfRootDir = map.root_size;
    return true;
}

int fail_new_image(Job_Settings& job, const std::string& error)
{
    say_line(error);
    return discard_new_image(job);
}

int build_new_image(Job_Settings& job, const Volume_Map& map)
{
    std::string error;
    if (!check_source_for_hole(map, job.inname, job.StartLBA, job.EndLBA, error))
        return fail_new_image(job, error);
    for (const Foreign_Structure& f : map.foreign)
        say_line(std::string("Warning: ") + job.inname + " has " + f.text);
    if (!insert_zero_sectors(job.infile, job.outfile, job.StartLBA, job.EndLBA, job.SectorSize,
                             job.PatchForGS2, job, map, error))
        return fail_new_image(job, error);
    if (!close_new_image(job, error)) {
        say_line(error);
        return 1;
    }
    // Said here rather than at the end of the insertion: only now is the image written out.
    say("All tasks complete.\n");
    return 0;
}
