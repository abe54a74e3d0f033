#pragma once
// Questions to the source's map before anything is written.

#include <cstdint>
#include <string>

#include "iso/volume_map.h"

// Checks that a hole from start_lba to end_lba can be inserted into the source (called
// inname) without breaking it: the hole starts past the descriptors, path tables and root
// directories, not strictly inside any structure of the map, no structure moves past the last
// sector number, with a start past the patch sector nothing lies on the patch sector, and
// SYSTEM.CNF is in the root and fits in one sector. Gives false with the error line.
bool check_source_for_hole(const Volume_Map& map, const char* inname, uint32_t start_lba,
                           uint32_t end_lba, std::string& error);

// Checks that the patch sector of the image (called name) holds no structure of the tree
// other than file data, which patching in place overwrites. Gives false with the error line.
bool check_patch_in_place(const Volume_Map& map, const char* name, std::string& error);

// The start auto mode chooses: the first sector of the file that begins last at or before
// limit (above sector 0), or 0 when there is none.
uint32_t find_start_lba(const Volume_Map& map, uint32_t limit);
