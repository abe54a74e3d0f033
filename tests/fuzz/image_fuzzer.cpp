// libFuzzer target: the volume map of an image whose sectors 16 to 79, and from 256 on (where
// UDF has its anchor and usually its partition), come from the input,
// the checks made of it, and, where they pass, a whole build of a new image (copy, relocation,
// patch, verification) and a patch in place. A build that the checks let through must verify:
// a verification failure there is a finding.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "iso/map_compare.h"
#include "iso/volume_map.h"
#include "ops/insertion.h"
#include "ops/patch.h"
#include "ops/source_checks.h"
#include "ops/verify.h"
#include "settings/job_settings.h"

namespace {

constexpr size_t SECTOR = 2048;

// A stream over an anonymous file holding bytes.
FILE* memory_file(const char* name, const std::vector<uint8_t>& bytes)
{
    int fd = memfd_create(name, 0);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        __builtin_trap();
    return fdopen(fd, "r+b");
}

// Traps when an operation that the checks let through ends in a failed verification.
void expect_verified(bool ok, const std::string& error)
{
    if (!ok && error.find("does not check out") != std::string::npos) {
        fprintf(stderr, "%s\n", error.c_str());
        __builtin_trap();
    }
}

// A new image with the hole at start, as the a and n commands build it.
void build(FILE* source, const Volume_Map& map, uint32_t start)
{
    std::string error;
    if (!check_source_for_hole(map, "fuzz.iso", start, PATCH_SECTOR, error))
        return;
    FILE* target = memory_file("new.iso", {});
    Job_Settings job;
    init_settings(job);
    job.inname = "fuzz.iso";
    job.outname = "new.iso";
    job.infile = source;
    job.outfile = target;
    const bool ok = insert_zero_sectors(source, target, start, PATCH_SECTOR, 2048, 0, job, map, error);
    expect_verified(ok, error);
    fclose(target);
}

// The image patched in place, as the p command does it.
void patch_in_place(const std::vector<uint8_t>& bytes, const Volume_Map& map)
{
    std::string error;
    if (!check_patch_in_place(map, "fuzz.iso", error) || !check_system_cnf(map, "fuzz.iso", error))
        return;
    FILE* f = memory_file("patch.iso", bytes);
    const Sector_Shift none{0, 0};
    std::vector<uint8_t> cnf;
    uint32_t extended_to = 0;
    if (read_system_cnf(fileno(f), "fuzz.iso", map, none, cnf, error) &&
        patch_for_gs2(f, map, none, "fuzz.iso", false, extended_to, error)) {
        const bool ok = verify_image(fileno(f), "fuzz.iso", map, none, expected_change(map, none, true, extended_to),
                                     cnf, error);
        expect_verified(ok, error);
    }
    fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The operations narrate what they do; nobody reads it here.
    if (freopen("/dev/null", "w", stdout) == nullptr)
        return 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 96 * SECTOR)
        return 0;
    // Input sectors 0 to 63 become sectors 16 to 79; the rest, sectors 256 on.
    const size_t low = std::min<size_t>(size, 64 * SECTOR);
    std::vector<uint8_t> image(16 * SECTOR, 0);
    image.insert(image.end(), data, data + low);
    if (size > low) {
        image.resize(256 * SECTOR, 0);
        image.insert(image.end(), data + low, data + size);
    }
    image.resize((image.size() + SECTOR - 1) / SECTOR * SECTOR, 0);

    FILE* source = memory_file("fuzz.iso", image);
    Volume_Map map;
    std::string error;
    if (build_volume_map(Image_File{fileno(source), image.size()}, "fuzz.iso", map, error)) {
        const uint32_t best = find_start_lba(map, PATCH_SECTOR);
        build(source, map, best != 0 ? best : map.fixed_last + 1 + static_cast<uint32_t>(size % 7));
        patch_in_place(image, map);
    }
    fclose(source);
    return 0;
}
