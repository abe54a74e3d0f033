#pragma once
// Moving everything that names a sector of a new image on past the hole.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "iso/shift.h"
#include "iso/volume_map.h"
#include "ops/field_writes.h"
#include "settings/job_settings.h"

// The field writes that move, in the new image, every field of the source's map that names
// a structure at or past the hole's start on by the hole's sectors (a field itself lying past
// the start is found at its moved place), grow every volume space size by the count, and
// move or grow the MBR partitions.
void relocation_writes(const Volume_Map& map, const Sector_Shift& shift, std::vector<Field_Write>& writes);

// Besides the directory records, also moves the path tables' entries, the volume space sizes,
// the El Torito catalog and boot image pointers, the Rock Ridge links and the MBR partitions,
// all from the source's map, then (with PatchForGS2 0) runs the GS2 patch. Gives false with
// the error line in error.
bool reindex_toc(FILE* image, uint32_t StartLBA, uint32_t count, uint32_t SectorSize,
                 uint16_t PatchForGS2, Job_Settings& job, const Volume_Map& map,
                 uint32_t& extended_to, std::string& error);
