#pragma once
// Moving the directory records of a new image on past the hole.

#include <cstdint>
#include <cstdio>
#include <string>

#include "driver/job_settings.h"
#include "iso/volume.h"

// Reads the new image's descriptors, moves every extent at or past StartLBA on by count
// sectors in every directory hierarchy and (with PatchForGS2 0) runs the GS2 patch. Gives false after printing an error.
bool reindex_toc(FILE* image, uint32_t StartLBA, uint32_t count, uint32_t SectorSize,
                 uint16_t PatchForGS2, Job_Settings& job);

// Moves one hierarchy: its directory records, its path tables and its volume space size.
bool shift_volume_tree(FILE* image, const Volume_Tree& tree, uint32_t SectorSize,
                       uint32_t StartLBA, uint32_t count, std::string& error);

// Walks the directory at extent and everything below it, adding count to each extent at or
// past StartLBA and writing it back; gives false with a reason in error.
bool shift_extents(FILE* image, uint32_t extent, uint32_t size, uint32_t SectorSize,
                   uint32_t StartLBA, uint32_t count, std::string& error);
