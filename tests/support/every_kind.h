#pragma once
// A small disc that holds one structure of every kind the volume map knows: a primary, an
// enhanced and a Joliet descriptor, an El Torito boot record, path tables of both types,
// directories of one and of two sectors, a Rock Ridge tree with a continuation area and a
// relocated directory (CL, PL, RE), a file of two sections, a boot catalog, a boot image (hidden
// from the trees) with a boot information table, and an MBR whose partition covers the image and whose boot code
// names the boot image.

#include <cstdint>
#include <string>
#include <vector>

namespace fixture {

// Sectors of the disc's structures.
namespace kinds {
constexpr uint32_t L_TABLE = 21, M_TABLE = 22, JL_TABLE = 23, JM_TABLE = 24;
constexpr uint32_t JOLIET_ROOT = 29, ROOT = 30, DATA = 31, RR_MOVED = 33, DEEP = 34, JOLIET_DATA = 41;
constexpr uint32_t CONTINUATION = 50, CATALOG = 60, BOOT = 70;
constexpr uint32_t CNF = 100, A = 200, B1 = 300, B2 = 310, C = 320, D = 400;
constexpr uint32_t SECTORS = 500;
constexpr uint32_t BOOT_SIZE = 3000, A_SIZE = 5000;
}  // namespace kinds

// Writes the disc to path.
void every_kind_disc(const std::string& path);

// The files of the disc (by their ISO 9660 paths) and their contents: a file of one section
// at lba of size bytes of pattern(size, seed).
struct Disc_File {
    std::string path;
    uint32_t lba;
    uint32_t size;
    uint32_t seed;
};
std::vector<Disc_File> every_kind_files();

}  // namespace fixture
