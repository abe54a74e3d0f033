#pragma once
// The volume map: one plain, read-only description of an image, built in one pass from its
// descriptors. It holds every structure that occupies sectors (path tables, directories, file
// sections, Rock Ridge continuation areas, the El Torito catalog and boot images), each once
// however many places point at it, and every place in the image that names it.

#include <cstdint>
#include <string>
#include <vector>

#include "iso/foreign.h"
#include "iso/image.h"

// What a structure of the map is.
enum class Extent_Kind : uint8_t {
    Path_Table,
    Directory,
    File,               // one section of a file
    Continuation_Area,  // Rock Ridge / SUSP CE
    Boot_Catalog,
    Boot_Image,
    Named_Sector,       // a sector that a link names but no walk reached
};

// How a field stores the sector it names.
enum class Field_Form : uint8_t {
    Both32,   // both-byte order (ECMA-119 7.3.3)
    Le32,     // little-endian
    Be32,     // big-endian
    Le32_512, // little-endian, in 512-byte sectors
};

// A place in the image that names a structure.
struct Pointer_Field {
    uint64_t offset;  // byte of the image where the field starts
    Field_Form form;
};

// One structure.
struct Map_Extent {
    Extent_Kind kind;
    uint32_t lba;      // first sector
    uint32_t sectors;  // sectors it takes (0 for an empty file)
    uint64_t bytes;    // its length in bytes
    std::string path;  // where it is in the tree, for messages
    std::vector<Pointer_Field> pointers;
};

// A primary or supplementary descriptor, whose volume space size follows the image's size.
struct Map_Descriptor {
    uint32_t sector;
    uint32_t volume_space;
};

// The map of one image.
struct Volume_Map {
    uint64_t image_bytes = 0;
    uint32_t fixed_last = 0;   // last sector of the descriptors, path tables and root directories
    uint32_t root_lba = 0;     // the primary descriptor's root directory
    uint32_t root_size = 0;
    std::vector<Map_Descriptor> descriptors;
    std::vector<Map_Extent> extents;
    int system_cnf = -1;       // index of SYSTEM.CNF of the primary root directory, or -1
    std::vector<Mbr_Partition> partitions;
    std::vector<Foreign_Structure> foreign;
};

// The name of a kind for messages ("file", "directory", ...).
const char* kind_name(Extent_Kind kind);

// "the file /A/B.BIN;1": a structure named for messages.
std::string describe(const Map_Extent& extent);

// Builds the map of the image called name (for messages). On failure gives false with
// error holding the reason, naming the image ("NAME has no ..." or "NAME: ...").
bool build_volume_map(const Image_File& image, const char* name, Volume_Map& map, std::string& error);
