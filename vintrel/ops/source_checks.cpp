#include "ops/source_checks.h"

#include <algorithm>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "iso/geometry.h"
#include "iso/record.h"
#include "iso/volume.h"
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

namespace {

// Sectors that size bytes take, in 64 bits.
uint64_t sectors_of(uint64_t size, uint32_t sector_size)
{
    return (size + sector_size - 1) / sector_size;
}

// A name fit for a message: Joliet identifiers carry zero bytes between their letters.
std::string shown(const std::string& name)
{
    std::string out;
    for (char c : name)
        if (c != '\0')
            out += c;
    return out.empty() ? std::string("a directory entry") : out;
}

// The last sector of the descriptors, path tables and root directories, which must all lie
// before the hole because nothing that points at them is moved.
uint32_t last_fixed_sector(const std::vector<Volume_Tree>& trees, uint32_t last_descriptor,
                           uint32_t sector_size)
{
    uint64_t last = last_descriptor;
    for (const Volume_Tree& t : trees) {
        last = std::max<uint64_t>(last, t.root_lba);
        for (uint32_t table : t.path_tables)
            if (table != 0)
                last = std::max<uint64_t>(last, table + sectors_of(t.path_table_size, sector_size) - 1);
    }
    return static_cast<uint32_t>(std::min<uint64_t>(last, UINT32_MAX));
}

}  // namespace

bool check_source_for_hole(Job_Settings& job, uint32_t start_lba, uint32_t end_lba)
{
    const uint32_t ss = job.SectorSize;
    std::vector<Volume_Tree> trees;
    uint32_t last_descriptor = 0;
    std::string error;
    if (!read_volume_trees(job.infile, ss, trees, last_descriptor, error)) {
        printf("Error: %s: %s\n", job.inname, error.c_str());
        return false;
    }
    const uint32_t fixed = last_fixed_sector(trees, last_descriptor, ss);
    if (start_lba <= fixed) {
        printf("Error: a hole at sector %u of %s would take the volume descriptors, path tables "
               "or root directories (up to sector %u); start it past them\n",
               start_lba, job.inname, fixed);
        return false;
    }
    if (!check_system_cnf(job.infile, job.RootDirLBA, job.SizeOfRootDir, ss, job.inname))
        return false;

    const uint32_t count = hole_sector_count(start_lba, end_lba);
    bool named_problem = false;
    Record_Action inspect = [&](FILE*, uint64_t, ISO_Directory_Record& record,
                                const std::string& name, std::string& why) {
        const uint32_t lba = record_lba(record);
        if (lba >= start_lba && lba > UINT32_MAX - count) {
            why = "the extent of " + shown(name) + " at sector " + std::to_string(lba) +
                  " would move past sector 4294967295";
            return false;
        }
        if (record_is_directory(record) || record_is_self_or_parent(record, name))
            return true;
        const uint64_t end = lba + sectors_of(record_size(record), ss);  // one past the last
        if (lba < start_lba && end > start_lba) {
            why = "sector " + std::to_string(start_lba) + " of " + job.inname + " lies inside " +
                  shown(name) + ", which begins at sector " + std::to_string(lba) +
                  "; start the hole at sector " + std::to_string(lba) + " instead";
            named_problem = true;
            return false;
        }
        if (count == 0 && lba <= job.PatchLBA && end > job.PatchLBA &&
            name.find(SYSTEM_CNF) == std::string::npos) {
            why = "sector " + std::to_string(job.PatchLBA) + " of " + job.inname + " holds " +
                  shown(name) + ", which the patch would overwrite; start the hole at or before " +
                  "sector " + std::to_string(job.PatchLBA);
            named_problem = true;
            return false;
        }
        return true;
    };
    for (const Volume_Tree& tree : trees) {
        if (!walk_directory_tree(job.infile, tree.root_lba, tree.root_size, ss, inspect, error)) {
            if (named_problem)
                printf("Error: %s\n", error.c_str());
            else
                printf("Error: %s: %s\n", job.inname, error.c_str());
            return false;
        }
    }
    return true;
}
