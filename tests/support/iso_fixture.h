#pragma once
// Writes small ISO 9660 images with records, directories and files at chosen sectors, for
// exact-layout tests. Images are written with pwrite at their offsets, so unwritten sectors
// stay holes and large sparse images cost nothing.

#include <cstdint>
#include <string>
#include <vector>

namespace fixture {

constexpr uint32_t SECTOR = 2048;

// One directory record to encode.
struct Entry {
    std::string id;           // identifier bytes; "\0" and "\1" for self and parent
    uint32_t lba = 0;         // extent (both halves unless be_lba is set)
    uint32_t size = 0;        // data length
    uint8_t flags = 0;        // file flags
    int64_t be_lba = -1;      // big-endian half of the extent when it must disagree
    int length = -1;          // record length override (else 33 + id + pad + system use)
    uint8_t system_use = 0;   // system use bytes appended (0xA0, 0xA1, ...)
    int name_length = -1;     // identifier length override
    std::vector<uint8_t> susp;  // system use bytes appended as they are (SUSP entries)
};

// A file record.
Entry file(const std::string& id, uint32_t lba, uint32_t size);
// A directory record.
Entry dir(const std::string& id, uint32_t lba, uint32_t size);
// The self entry of a directory at lba.
Entry self(uint32_t lba, uint32_t size = SECTOR);
// The parent entry naming the directory at lba.
Entry parent(uint32_t lba, uint32_t size = SECTOR);

// Encodes one directory record (ECMA-119 9.1).
std::vector<uint8_t> encode(const Entry& e);

// An image file being written.
struct Image {
    std::string path;
    int fd = -1;
};

// Creates (or empties) path and makes it sectors long.
Image create(const std::string& path, uint64_t sectors);
// Closes the image.
void finish(Image& image);
// Writes bytes at a byte offset.
void put(Image& image, uint64_t offset, const std::vector<uint8_t>& bytes);
// Writes the primary volume descriptor at sector 16 and the terminator at 17.
void descriptor(Image& image, uint32_t root_lba, uint32_t root_size, uint32_t volume_sectors);

// One volume descriptor to encode (ECMA-119 8; El Torito for a boot record).
struct Descriptor {
    uint8_t type = 1;              // 0 boot record, 1 primary, 2 supplementary, 255 terminator
    uint8_t version = 1;           // 2 for an enhanced descriptor
    bool joliet = false;           // supplementary with the UCS-2 level 3 escape sequence
    uint32_t root_lba = 0;
    uint32_t root_size = SECTOR;
    uint32_t volume_sectors = 0;
    uint32_t path_table_size = 0;
    uint32_t path_tables[4] = {0, 0, 0, 0};  // L, optional L, M, optional M
    uint32_t boot_catalog = 0;     // boot record: the catalog's sector
};

// Writes the descriptors at consecutive sectors from first on.
void descriptors(Image& image, uint32_t first, const std::vector<Descriptor>& set);

// One path table record: identifier, extent, parent directory number (ECMA-119 9.4).
struct Path_Entry {
    std::string id;
    uint32_t lba;
    uint16_t parent;
};

// Encodes a path table, type L or (with m) type M.
std::vector<uint8_t> path_table(const std::vector<Path_Entry>& entries, bool m);

// SUSP entries (SUSP 5, RRIP 4.1.5): SP, CE, CL, PL, RE, and NM with a name.
std::vector<uint8_t> susp_sp();
std::vector<uint8_t> susp_ce(uint32_t lba, uint32_t offset, uint32_t length);
std::vector<uint8_t> susp_cl(uint32_t lba);
std::vector<uint8_t> susp_pl(uint32_t lba);
std::vector<uint8_t> susp_re();
std::vector<uint8_t> susp_nm(const std::string& name);

// One El Torito boot entry: its media type (0 no emulation), 512-byte sector count, image.
struct Boot_Entry {
    uint8_t media = 0;
    uint16_t count = 4;
    uint32_t lba = 0;
};

// Writes a boot catalog at lba: validation entry, initial entry, then the others in one final
// section (El Torito 2.0, 2.1 to 2.4).
void boot_catalog(Image& image, uint32_t lba, const std::vector<Boot_Entry>& entries);

// Writes a boot information table (genisoimage -boot-info-table) into the boot image at lba of
// size bytes, whose contents must already be in place.
void boot_info_table(Image& image, uint32_t lba, uint32_t size);

// One MBR partition entry, in 512-byte sectors.
struct Partition {
    uint8_t type = 0x17;
    uint32_t start = 0;
    uint32_t count = 0;
};

// Writes an MBR with the partitions (and the signature 55 AA) into sector 0.
void mbr(Image& image, const std::vector<Partition>& partitions);
// Writes the records packed into the sectors from lba on; a record that does not fit in
// the rest of a sector starts the next one. Gives the number of sectors used.
uint32_t directory(Image& image, uint32_t lba, const std::vector<Entry>& entries);
// Fills size bytes at sector lba with a pattern derived from seed.
void data(Image& image, uint32_t lba, uint32_t size, uint32_t seed);
// The pattern that data() writes.
std::vector<uint8_t> pattern(uint32_t size, uint32_t seed);

// Reads size bytes at a byte offset of a file.
std::vector<uint8_t> read_bytes(const std::string& path, uint64_t offset, size_t size);
// The whole file.
std::vector<uint8_t> read_file(const std::string& path);
// Length of a file.
uint64_t file_length(const std::string& path);
// The little-endian and big-endian halves of the extent of the record at a byte offset.
uint32_t le_at(const std::string& path, uint64_t offset);
uint32_t be_at(const std::string& path, uint64_t offset);

// Byte offset of the record with identifier id in the directory at lba (sectors long), or -1.
int64_t find_record(const std::string& path, uint32_t lba, uint32_t sectors, const std::string& id);

// A fresh, empty folder for one test.
std::string temp_dir();

}  // namespace fixture
