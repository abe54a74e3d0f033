#pragma once
// Building the new image: source sectors, then the hole of zero sectors, then the rest.

#include <cstdint>
#include <cstdio>
#include <string>

#include "iso/volume_map.h"
#include "settings/job_settings.h"

// Number of zero sectors a hole from start_lba to end_lba holds (0 when start is past end).
uint32_t hole_sector_count(uint32_t start_lba, uint32_t end_lba);

// Copies the source's first StartLBA sectors to the empty target, writes zero sectors
// StartLBA to EndLBA, copies the rest of the source, then relocates everything the source's
// map names (reindex_toc, which with PatchForGS2 0 patches SYSTEM.CNF), and reads the new
// image back to verify it against the map. The caller prints "All tasks complete." once the
// image is safely stored. Gives false with the error line in error.
bool insert_zero_sectors(FILE* source, FILE* target, uint32_t StartLBA, uint32_t EndLBA,
                         uint32_t SectorSize, uint16_t PatchForGS2, Job_Settings& job,
                         const Volume_Map& map, std::string& error);
