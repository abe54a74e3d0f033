// libFuzzer target: opening an image, walking it, choosing a start, checking a source,
// relocating and patching, on an image whose sectors from 16 on come from the input.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "driver/job_settings.h"
#include "iso/geometry.h"
#include "ops/auto_mode.h"
#include "ops/patch.h"
#include "ops/relocation.h"
#include "ops/source_checks.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The operations print their messages; nobody reads them here.
    if (freopen("/dev/null", "w", stdout) == nullptr)
        return 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const size_t sector = 2048;
    if (size > 64 * sector)
        return 0;
    std::vector<uint8_t> image(16 * sector, 0);
    image.insert(image.end(), data, data + size);
    image.resize((image.size() + sector - 1) / sector * sector, 0);

    int fd = memfd_create("fuzz.iso", 0);
    if (fd < 0 || write(fd, image.data(), image.size()) != static_cast<ssize_t>(image.size()))
        __builtin_trap();
    FILE* f = fdopen(fd, "r+b");
    Job_Settings job;
    init_settings(job);
    job.inname = job.outname = "fuzz.iso";
    job.infile = job.outfile = f;
    if (read_root_directory(f, job, job.inname)) {
        uint32_t best = 0;
        std::string error;
        find_start_lba(best, job, f, job.RootDirLBA, job.SizeOfRootDir, error);
        const uint32_t start = best != 0 ? best : 20 + static_cast<uint32_t>(size % 7);
        check_source_for_hole(job, start, PATCH_SECTOR);
        // As if a hole had been inserted: move everything past the start by a few sectors.
        reindex_toc(f, start, 3 + static_cast<uint32_t>(size % 5), 2048, 1, job);
        patch_for_gs2(f, job.RootDirLBA, job.SizeOfRootDir, 2048, job.outname, false);
    }
    fclose(f);
    return 0;
}
