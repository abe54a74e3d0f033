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
    uint8_t system_use = 0;   // system use bytes appended
    int name_length = -1;     // identifier length override
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
