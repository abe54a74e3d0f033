#include "iso/geometry.h"

#include <cstring>

#include "iso/bytes.h"
#include "iso/record.h"
#include "iso/stream.h"

uint32_t detect_sector_size(FILE* stream)
{
    int64_t length = stream_length(stream);
    if (length < 0)
        return 0;
    uint64_t l = static_cast<uint64_t>(length);
    if (l % 2048 == 0)
        return 2048;
    if (l % 2352 == 0)
        return 2352;
    if (l % 2336 == 0)
        return 2336;
    return 0;
}

int check_sector_size(FILE* stream, const char* name, uint32_t needed_size)
{
    if (detect_sector_size(stream) == needed_size)
        return 0;
    printf("Error:\n");
    printf("   %s sector size does not match needed sector size!\n", name);
    printf("   Convert %s to a %ubytes/sector image first.\n", name, needed_size);
    return 1;
}

int seek_sector(FILE* stream, uint32_t lba, uint32_t sector_size)
{
    return seek_to(stream, sector_offset(lba, sector_size));
}

bool read_root_directory(FILE* stream, Job_Settings& job, const char* name)
{
    uint8_t descriptor[DESCRIPTOR_BYTES];
    int rc = read_at(stream, sector_offset(DESCRIPTOR_SECTOR, job.SectorSize), descriptor,
                     sizeof descriptor);
    if (rc == IO_SHORT) {
        printf("Error: %s is too short to hold an ISO 9660 volume descriptor\n", name);
        return false;
    }
    if (rc != 0) {
        printf("Error: could not read %s: %s\n", name, io_reason(rc));
        return false;
    }
    if (descriptor[PVD_TYPE] != 1 || std::memcmp(descriptor + PVD_IDENTIFIER, "CD001", 5) != 0 ||
        descriptor[PVD_VERSION] != 1) {
        printf("Error: %s has no ISO 9660 primary volume descriptor at sector 16\n", name);
        return false;
    }
    const uint8_t* root = descriptor + PVD_ROOT_RECORD;
    job.RootDirLBA = read_le32(root + RECORD_LBA);
    job.SizeOfRootDir = read_le32(root + RECORD_SIZE);
    return true;
}
