#include "ops/patch.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

#include "driver/job_settings.h"
#include "iso/geometry.h"
#include "iso/stream.h"
#include "iso/volume.h"
#include "ops/io_messages.h"

Find_Result find_system_cnf(FILE* image, uint32_t RootDirLBA, uint32_t SizeOfRootDir,
                            uint32_t SectorSize, uint64_t& record_pos, ISO_Directory_Record& record,
                            std::string& error)
{
    const uint64_t start = sector_offset(RootDirLBA, SectorSize);
    const uint64_t end = start + SizeOfRootDir;
    const int64_t length = stream_length(image);
    if (length < 0 || end > static_cast<uint64_t>(length)) {
        error = "the root directory runs past the end of the image";
        return Find_Result::Failed;
    }
    int rc = seek_to(image, start);
    uint64_t pos = start;
    // Each turn moves pos on by at least one byte.
    while (rc == 0 && pos < end) {
        int byte = fgetc(image);
        if (byte == EOF) {
            rc = ferror(image) ? last_error() : IO_SHORT;
            break;
        }
        if (byte == 0) {
            ++pos;
            continue;
        }
        if (pos + static_cast<uint64_t>(byte) > end || byte < static_cast<int>(RECORD_FIXED_BYTES) + 1) {
            error = "damaged record in the root directory at byte " + std::to_string(pos);
            return Find_Result::Failed;
        }
        std::string name;
        rc = seek_to(image, pos);
        if (rc == 0)
            rc = read_directory_record(image, record, name);
        if (rc != 0)
            break;
        if (RECORD_FIXED_BYTES + record.NameLength > record.Length) {
            error = "damaged record in the root directory at byte " + std::to_string(pos);
            return Find_Result::Failed;
        }
        if (name.find(SYSTEM_CNF) != std::string::npos && !record_is_directory(record)) {
            record_pos = pos;
            return Find_Result::Found;
        }
        pos += record.Length;
    }
    if (rc != 0) {
        error = std::string("could not read the root directory: ") + io_reason(rc);
        return Find_Result::Failed;
    }
    return Find_Result::Not_Found;
}

// Finds SYSTEM.CNF and checks its size, printing the error line (after prefix) on failure.
static bool locate_system_cnf(FILE* image, uint32_t RootDirLBA, uint32_t SizeOfRootDir,
                              uint32_t SectorSize, const char* name, const char* prefix,
                              uint64_t& record_pos, ISO_Directory_Record& record)
{
    std::string error;
    switch (find_system_cnf(image, RootDirLBA, SizeOfRootDir, SectorSize, record_pos, record,
                            error)) {
    case Find_Result::Failed:
        printf("%sError: %s: %s\n", prefix, name, error.c_str());
        return false;
    case Find_Result::Not_Found:
        printf("%sError: %s has no SYSTEM.CNF in its root directory\n", prefix, name);
        return false;
    case Find_Result::Found:
        break;
    }
    if (record_size(record) > SectorSize) {
        printf("%sError: SYSTEM.CNF of %s is %u bytes, more than one sector; at sector %u it "
               "would overwrite the sectors after it\n",
               prefix, name, record_size(record), PATCH_SECTOR);
        return false;
    }
    return true;
}

bool check_system_cnf(FILE* image, uint32_t RootDirLBA, uint32_t SizeOfRootDir,
                      uint32_t SectorSize, const char* name)
{
    uint64_t record_pos = 0;
    ISO_Directory_Record record;
    return locate_system_cnf(image, RootDirLBA, SizeOfRootDir, SectorSize, name, "", record_pos,
                             record);
}

// An image that ended before the patch sector is made to end with that whole sector, so it
// stays a whole number of sectors, and its volume space is made to take it in; gives false
// with error.
static bool extend_to_patch_sector(FILE* image, uint32_t SectorSize, std::string& error)
{
    const uint64_t needed = sector_offset(PATCH_SECTOR + 1, SectorSize);
    const int64_t length = stream_length(image);
    if (length >= 0 && static_cast<uint64_t>(length) >= needed)
        return true;
    if (length < 0 || ftruncate(fileno(image), static_cast<off_t>(needed)) != 0) {
        error = std::string("could not extend the image to sector ") +
                std::to_string(PATCH_SECTOR) + ": " + strerror(last_error());
        return false;
    }
    std::vector<Volume_Tree> trees;
    uint32_t last_descriptor = 0;
    if (!read_volume_trees(image, SectorSize, trees, last_descriptor, error))
        return false;
    for (const Volume_Tree& tree : trees)
        if (!grow_volume_space(image, SectorSize, tree.descriptor_sector, PATCH_SECTOR + 1, error))
            return false;
    return true;
}

bool patch_for_gs2(FILE* image, uint32_t RootDirLBA, uint32_t SizeOfRootDir, uint32_t SectorSize,
                   const char* name, bool durable)
{
    printf("Patching For GS2...");
    uint64_t record_pos = 0;
    ISO_Directory_Record record;
    std::string error;
    if (!locate_system_cnf(image, RootDirLBA, SizeOfRootDir, SectorSize, name, "\n", record_pos,
                           record))
        return false;

    const uint32_t old_lba = record_lba(record);
    const uint32_t size = record_size(record);
    std::vector<uint8_t> data(size);
    int rc = read_at(image, sector_offset(old_lba, SectorSize), data.data(), size);
    if (rc != 0) {
        printf("\n");
        print_read_error(name, rc);
        return false;
    }
    // The bytes go to the patch sector first, so the record never names a sector that does
    // not yet hold the file.
    rc = write_at(image, sector_offset(PATCH_SECTOR, SectorSize), data.data(), size);
    if (rc == 0 && fflush(image) != 0)
        rc = last_error();
    if (rc == 0 && !extend_to_patch_sector(image, SectorSize, error)) {
        printf("\nError: %s: %s\n", name, error.c_str());
        return false;
    }
    if (rc == 0 && durable && fdatasync(fileno(image)) != 0)
        rc = last_error();
    if (rc == 0)
        rc = repoint_record(image, record_pos, record, PATCH_SECTOR);
    if (rc == 0 && fflush(image) != 0)
        rc = last_error();
    if (rc != 0) {
        printf("\n");
        print_write_error(name, rc);
        return false;
    }
    printf("Done.\n");
    return true;
}
