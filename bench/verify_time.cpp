// Times what the final check of a new image costs: building the image's volume map and
// comparing it with a map of the same image, as vintrel does after every build.
// Usage: verify_time IMAGE [ROUNDS]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "iso/map_compare.h"
#include "iso/volume_map.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: verify_time IMAGE [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const int fd = open(argv[1], O_RDONLY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        perror(argv[1]);
        return 1;
    }
    const Image_File image{fd, static_cast<uint64_t>(st.st_size)};
    Volume_Map first;
    std::string error;
    if (!build_volume_map(image, argv[1], first, error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    // Nothing moved: every structure, SYSTEM.CNF among them, where it is.
    auto at = [&first](int i) { return i < 0 ? 0u : first.extents[static_cast<size_t>(i)].lba; };
    const Expected_Change unchanged{at(first.system_cnf), 0, at(first.udf.system_cnf)};
    double best = 1e9;
    for (int r = 0; r < rounds; ++r) {
        const auto start = std::chrono::steady_clock::now();
        Volume_Map again;
        const bool ok = build_volume_map(image, argv[1], again, error) &&
                        compare_maps(first, again, Sector_Shift{0, 0}, unchanged, error);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (!ok) {
            fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        best = ms < best ? ms : best;
    }
    printf("%.2f ms for %zu structures\n", best, first.extents.size());
    return 0;
}
