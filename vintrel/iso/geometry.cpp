#include "iso/geometry.h"

#include "fileio/io.h"

uint32_t detect_sector_size(FILE* stream)
{
    if (fflush(stream) != 0)
        return 0;
    const int64_t length = file_size(fileno(stream));
    if (length < 0)
        return 0;
    const uint64_t l = static_cast<uint64_t>(length);
    if (l % 2048 == 0)
        return 2048;
    if (l % 2352 == 0)
        return 2352;
    if (l % 2336 == 0)
        return 2336;
    return 0;
}

int check_sector_size(FILE* stream, const char* name, uint32_t needed_size, std::string& error)
{
    if (detect_sector_size(stream) == needed_size)
        return 0;
    error = std::string("Error:\n   ") + name + " sector size does not match needed sector size!\n   Convert " +
            name + " to a " + std::to_string(needed_size) + "bytes/sector image first.";
    return 1;
}
