#include "ops/insertion.h"

#include <cerrno>

#include "iso/geometry.h"
#include "iso/stream.h"
#include "ops/copy.h"
#include "ops/io_messages.h"
#include "ops/progress.h"
#include "ops/relocation.h"

uint32_t hole_sector_count(uint32_t start_lba, uint32_t end_lba)
{
    return start_lba <= end_lba ? end_lba - start_lba + 1 : 0;
}

// Runs one copy step, printing its error; gives false on failure.
static bool step_ok(const Copy_Result& result, const Job_Settings& job)
{
    if (result.code == 0)
        return true;
    progress_end();
    print_copy_error(result, job.inname, job.outname);
    return false;
}

bool insert_zero_sectors(FILE* source, FILE* target, uint32_t StartLBA, uint32_t EndLBA,
                         uint32_t SectorSize, uint16_t PatchForGS2, Job_Settings& job)
{
    const uint32_t inserted = hole_sector_count(StartLBA, EndLBA);
    const int64_t source_length = stream_length(source);
    const int64_t source_pos = stream_position(source);
    if (source_length < 0 || source_pos < 0) {
        print_read_error(job.inname, last_error());
        return false;
    }
    const uint64_t remaining = static_cast<uint64_t>(source_length - source_pos);
    const uint64_t hole_bytes = sector_offset(inserted, SectorSize);

    printf("Creating new image.\nPlease wait....\n");
    progress_start(remaining + hole_bytes);
    // A source shorter than StartLBA sectors is copied whole and the hole follows its last byte.
    if (!step_ok(copy_bytes(source, target, sector_offset(StartLBA, SectorSize)), job))
        return false;
    progress_erase();
    printf("Inserting Nixo data...\n");
    if (!step_ok(write_zero_bytes(target, hole_bytes), job))
        return false;
    progress_erase();
    printf("Finished inserting %u sectors...\nMoving File contents...\n", inserted);
    if (!step_ok(copy_remaining_bytes(source, target), job))
        return false;
    progress_end();

    if (!reindex_toc(target, StartLBA, inserted, SectorSize, PatchForGS2, job))
        return false;
    if (fflush(target) != 0) {
        print_write_error(job.outname, last_error());
        return false;
    }
    printf("All tasks complete.\n");
    return true;
}
