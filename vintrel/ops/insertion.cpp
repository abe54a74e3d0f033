#include "ops/insertion.h"

#include <sys/stat.h>
#include <vector>

#include "fileio/copy.h"
#include "fileio/io.h"
#include "iso/geometry.h"
#include "iso/shift.h"
#include "ops/console.h"
#include "ops/interrupt.h"
#include "fileio/progress.h"
#include "ops/patch.h"
#include "ops/relocation.h"
#include "ops/step_hook.h"
#include "ops/verify.h"

uint32_t hole_sector_count(uint32_t start_lba, uint32_t end_lba)
{
    return start_lba <= end_lba ? end_lba - start_lba + 1 : 0;
}

namespace {

// The error line of a failed copy step.
std::string copy_error(const Copy_Result& r, const Job_Settings& job)
{
    return r.on_target ? std::string("Error: could not write ") + job.outname + ": " + io_reason(r.code)
                       : std::string("Error: could not read ") + job.inname + ": " + io_reason(r.code);
}

// Counts a piece of the copy for the progress line; false once the run is interrupted.
bool keep_copying(uint64_t n)
{
    progress_advance(n);
    return !interrupted();
}

// Puts n zero bytes at out_off: a hole past the end of a regular file, written zeros
// elsewhere (a device).
int zero_sectors(int fd, uint64_t& out_off, uint64_t n)
{
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) <= out_off) {
        int rc = extend_with_zeros(fd, out_off + n, keep_copying);
        if (rc == 0)
            out_off += n;
        return rc;
    }
    return write_zeros(fd, out_off, n, keep_copying);
}

}  // namespace

bool insert_zero_sectors(FILE* source, FILE* target, uint32_t StartLBA, uint32_t EndLBA,
                         uint32_t SectorSize, uint16_t PatchForGS2, Job_Settings& job,
                         const Volume_Map& map, std::string& error)
{
    const uint32_t inserted = hole_sector_count(StartLBA, EndLBA);
    const Sector_Shift shift{StartLBA, inserted};
    const int in = fileno(source), out = fileno(target);
    const int64_t source_length = file_size(in);
    if (source_length < 0 || fflush(target) != 0) {
        error = std::string("Error: could not read ") + job.inname + ": " + io_reason(last_error());
        return false;
    }
    // What the patch sector must hold in the end: SYSTEM.CNF as the source has it.
    std::vector<uint8_t> system_cnf;
    if (map.system_cnf >= 0 && !read_system_cnf(in, job.inname, map, Sector_Shift{0, 0}, system_cnf, error))
        return false;

    say("Creating new image.\nPlease wait....\n");
    progress_start(static_cast<uint64_t>(source_length) + sector_offset(inserted, SectorSize));
    uint64_t in_off = 0, out_off = 0;
    // A source shorter than StartLBA sectors is copied whole and the hole follows its last byte.
    Copy_Result r = copy_span(in, in_off, out, out_off, sector_offset(StartLBA, SectorSize), keep_copying);
    if (r.code == 0) {
        step_done("head", out);
        say("Inserting Nixo data...\n");
        r.code = zero_sectors(out, out_off, sector_offset(inserted, SectorSize));
        r.on_target = true;
    }
    if (r.code == 0) {
        step_done("hole", out);
        say(("Finished inserting " + std::to_string(inserted) + " sectors...\nMoving File contents...\n").c_str());
        r = copy_span(in, in_off, out, out_off, UINT64_MAX, keep_copying);
    }
    progress_end();
    if (r.code != 0) {
        error = copy_error(r, job);
        return false;
    }

    step_done("tail", out);
    if (interrupted()) {
        error = "interrupted";
        return false;
    }
    uint32_t extended_to = 0;
    if (!reindex_toc(target, StartLBA, inserted, SectorSize, PatchForGS2, job, map, extended_to, error))
        return false;
    step_done("patched", out);
    if (interrupted()) {
        error = "interrupted";
        return false;
    }
    if (map.system_cnf < 0)
        system_cnf.clear();
    // Without the patch SYSTEM.CNF only moves with the rest.
    return verify_image(out, job.outname, map, shift, expected_change(map, shift, PatchForGS2 == 0, extended_to),
                        system_cnf, error);
}
