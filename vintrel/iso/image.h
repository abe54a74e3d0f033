#pragma once
// An image as the readers of the volume map see it: an open file and its length.

#include <cstdint>
#include <string>

// An open image file, read with pread; nothing here moves a file position.
struct Image_File {
    int fd;
    uint64_t length;  // bytes
};

// Reads n bytes at byte off of the image; on failure gives false with a reason that names
// what was being read (what) and where.
bool read_image(const Image_File& image, uint64_t off, void* buffer, size_t n, const char* what,
                std::string& error);
