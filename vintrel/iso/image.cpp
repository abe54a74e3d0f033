#include "iso/image.h"

#include "fileio/io.h"
#include "iso/geometry.h"

bool read_image(const Image_File& image, uint64_t off, void* buffer, size_t n, const char* what,
                std::string& error)
{
    if (off > image.length || n > image.length - off) {
        error = std::string(what) + " at sector " + std::to_string(off / SECTOR_BYTES) +
                " runs past the end of the image";
        return false;
    }
    int rc = read_full_at(image.fd, off, buffer, n);
    if (rc != 0) {
        error = std::string("could not read ") + what + " at sector " +
                std::to_string(off / SECTOR_BYTES) + ": " + io_reason(rc);
        return false;
    }
    return true;
}
