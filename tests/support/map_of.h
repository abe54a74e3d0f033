#pragma once
// The volume map of an image file, for tests.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "iso/volume_map.h"
#include "support/iso_fixture.h"

// Builds the map of the image at path; error holds the reason when it cannot be built.
inline bool try_map_of(const std::string& path, Volume_Map& map, std::string& error)
{
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        error = "cannot open " + path;
        return false;
    }
    const bool ok = build_volume_map(Image_File{fd, fixture::file_length(path)}, path.c_str(), map, error);
    close(fd);
    return ok;
}

// The map of the image at path, which must be buildable.
inline Volume_Map map_of(const std::string& path)
{
    Volume_Map map;
    std::string error;
    EXPECT_TRUE(try_map_of(path, map, error)) << error;
    return map;
}
