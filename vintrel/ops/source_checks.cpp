#include "ops/source_checks.h"

#include <string>
#include <sys/stat.h>

#include "iso/geometry.h"
#include "iso/record.h"
#include "iso/walker.h"
#include "ops/insertion.h"
#include "ops/patch.h"

bool same_file(const char* a, const char* b)
{
    struct stat sa, sb;
    if (stat(a, &sa) != 0 || stat(b, &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Sectors that size bytes take, in 64 bits.
static uint64_t sectors_of(uint32_t size, uint32_t sector_size)
{
    return (static_cast<uint64_t>(size) + sector_size - 1) / sector_size;
}

bool check_source_for_hole(Job_Settings& job, uint32_t start_lba, uint32_t end_lba)
{
    const uint32_t ss = job.SectorSize;
    if (start_lba <= DESCRIPTOR_SECTOR || start_lba <= job.RootDirLBA) {
        printf("Error: a hole at sector %u of %s would take the volume descriptor or the root "
               "directory (sector %u); start it past both\n",
               start_lba, job.inname, job.RootDirLBA);
        return false;
    }
    if (!check_system_cnf(job.infile, job.RootDirLBA, job.SizeOfRootDir, ss, job.inname))
        return false;

    const uint32_t count = hole_sector_count(start_lba, end_lba);
    std::string problem;
    Record_Action inspect = [&](FILE*, uint64_t, ISO_Directory_Record& record,
                                const std::string& name, std::string& why) {
        const uint32_t lba = record_lba(record);
        if (lba >= start_lba && lba > UINT32_MAX - count) {
            why = "the extent of " + name + " at sector " + std::to_string(lba) +
                  " would move past sector 4294967295";
            return false;
        }
        if (record_is_directory(record) || record_is_self_or_parent(record, name))
            return true;
        const uint64_t last = lba + sectors_of(record_size(record), ss);  // one past the end
        if (lba < start_lba && last > start_lba) {
            problem = "sector " + std::to_string(start_lba) + " of " + job.inname +
                      " lies inside " + name + ", which begins at sector " + std::to_string(lba) +
                      "; start the hole at sector " + std::to_string(lba) + " instead";
            return false;
        }
        if (count == 0 && lba <= job.PatchLBA && last > job.PatchLBA &&
            name.find(SYSTEM_CNF) == std::string::npos) {
            problem = "sector " + std::to_string(job.PatchLBA) + " of " + job.inname + " holds " +
                      name + ", which the patch would overwrite; start the hole at or before " +
                      "sector " + std::to_string(job.PatchLBA);
            return false;
        }
        return true;
    };
    std::string error;
    if (!walk_directory_tree(job.infile, job.RootDirLBA, job.SizeOfRootDir, ss, inspect, error)) {
        if (!problem.empty())
            printf("Error: %s\n", problem.c_str());
        else
            printf("Error: %s: %s\n", job.inname, error.c_str());
        return false;
    }
    return true;
}
