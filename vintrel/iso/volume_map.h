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
    Udf_Sequence,       // a UDF volume descriptor sequence (main or reserve)
    Udf_Integrity,      // the UDF logical volume integrity sequence
    Udf_Space,          // an extent of UDF unallocated space or partition space table
    Udf_File_Set,       // the UDF file set descriptor (and its terminator)
    Udf_File_Entry,     // a UDF file entry or extended file entry
    Udf_Allocation,     // a UDF allocation extent descriptor that continues a list
    Udf_Directory,      // an extent of a UDF directory's file identifiers
    Udf_Data,           // an extent of a UDF file's data
};

// How a field stores the sector it names.
enum class Field_Form : uint8_t {
    Both32,   // both-byte order (ECMA-119 7.3.3)
    Le32,     // little-endian
    Be32,     // big-endian
    Le32_512, // little-endian, in 512-byte sectors
    Udf_Rel32,// little-endian, counted from the UDF partition's start (ECMA-167 4/7.1)
};

// A place in the image that names a structure: the field holds the structure's sector plus
// delta (a descriptor inside a sequence names its own sector), less base for a field counted
// from a partition's start.
struct Pointer_Field {
    uint64_t offset;  // byte of the image where the field starts
    Field_Form form;
    uint32_t delta;   // sectors past the structure's first
    uint32_t base;    // the partition's first sector, for Udf_Rel32
};

// A UDF descriptor whose tag (ECMA-167 3/7.2) covers the bytes after it with a CRC and
// itself with a checksum: written again whenever a field inside it changes.
struct Tag_Unit {
    uint64_t offset;  // byte of the image where the descriptor starts
    uint32_t length;  // 16 bytes of tag and the bytes its CRC covers
};

// A UDF anchor volume descriptor pointer (ECMA-167 3/10.2).
struct Udf_Anchor {
    uint32_t sector;
    uint32_t main_lba, main_length;        // the main volume descriptor sequence
    uint32_t reserve_lba, reserve_length;  // the reserve one
};

// The UDF side of a bridge image, as far as it is not structures of the list.
struct Udf_Volume {
    bool present = false;
    uint32_t partition_start = 0;
    uint32_t partition_length = 0;
    std::vector<uint64_t> start_fields;   // 32-bit fields holding the partition's start
    std::vector<uint64_t> length_fields;  // 32-bit fields holding its length (descriptors, size table)
    std::vector<Udf_Anchor> anchors;      // at 256, at the last sector but 255, at the last
    int system_cnf = -1;                  // index of SYSTEM.CNF's data in the root, or -1
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
    Udf_Volume udf;
    std::vector<Tag_Unit> tag_units;
};

// The name of a kind for messages ("file", "directory", ...).
const char* kind_name(Extent_Kind kind);

// "the file /A/B.BIN;1": a structure named for messages.
std::string describe(const Map_Extent& extent);

// Builds the map of the image called name (for messages). On failure gives false with
// error holding the reason, naming the image ("NAME has no ..." or "NAME: ...").
bool build_volume_map(const Image_File& image, const char* name, Volume_Map& map, std::string& error);
