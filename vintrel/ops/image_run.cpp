#include "ops/image_run.h"

#include <algorithm>
#include <sys/stat.h>

#include "fileio/io.h"
#include "iso/geometry.h"
#include "ops/interrupt.h"
#include "ops/step_hook.h"
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
    Pending_File none;
    if (interrupted())
        stop_new_image(job, none);
    say_line(error);
    return discard_new_image(job, none);
}

namespace {

// The new image's length and the disk space its data take, from the source's.
void new_image_size(const Job_Settings& job, uint64_t& bytes, uint64_t& data_bytes)
{
    struct stat st;
    fstat(fileno(job.infile), &st);
    const uint64_t length = static_cast<uint64_t>(st.st_size);
    const uint32_t count = hole_sector_count(job.StartLBA, job.EndLBA);
    bytes = std::max<uint64_t>(length + sector_offset(count), sector_offset(PATCH_SECTOR + 1));
    // The copy keeps the source's holes and the hole is not written; the patch adds a sector.
    data_bytes = std::min<uint64_t>(length, static_cast<uint64_t>(st.st_blocks) * 512) + SECTOR_BYTES;
}

}  // namespace

void stop_new_image(Job_Settings& job, Pending_File& pending)
{
    discard_new_image(job, pending);
    say_line(std::string("Interrupted: ") + job.outname + " was not written");
    end_by_interruption();
}

int build_new_image(Job_Settings& job, const Volume_Map& map)
{
    std::string error;
    Pending_File pending;
    if (interrupted())
        stop_new_image(job, pending);
    if (!check_source_for_hole(map, job.inname, job.StartLBA, job.EndLBA, error))
        return fail_new_image(job, error);
    uint64_t bytes = 0, data_bytes = 0;
    new_image_size(job, bytes, data_bytes);
    if (!check_room(job, bytes, data_bytes, error))
        return fail_new_image(job, error);
    for (const Foreign_Structure& f : map.foreign)
        say_line(std::string("Warning: ") + job.inname + " has " + f.text);
    const bool ok = begin_new_image(job, pending, error) &&
                    insert_zero_sectors(job.infile, job.outfile, job.StartLBA, job.EndLBA, job.SectorSize,
                                        job.PatchForGS2, job, map, error);
    if (ok)
        step_done("verified", fileno(job.outfile));
    // The last moment to stop: after it the image is renamed into place whole.
    if (interrupted())
        stop_new_image(job, pending);
    if (!ok) {
        say_line(error);
        return discard_new_image(job, pending);
    }
    if (!commit_new_image(job, pending, error)) {
        say_line(error);
        return discard_new_image(job, pending);
    }
    // Said here rather than at the end of the insertion: only now is the image on disk
    // under its name.
    say("All tasks complete.\n");
    return 0;
}
