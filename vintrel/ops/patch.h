#pragma once
// The GS2 patch: SYSTEM.CNF of the root directory moved to the patch sector.

#include <cstdint>
#include <cstdio>
#include <string>

#include "iso/shift.h"
#include "iso/volume_map.h"

// Finds SYSTEM.CNF in the map and checks that it fits in one sector; gives false with the
// error line (naming the image called name) otherwise.
bool check_system_cnf(const Volume_Map& map, const char* name, std::string& error);

// Whether the UDF side's SYSTEM.CNF is repointed too: the patch sector lies in its partition
// once the hole is in. Otherwise UDF readers read it where it was, the same bytes.
bool udf_repoints_system_cnf(const Volume_Map& map, const Sector_Shift& shift);

// Copies SYSTEM.CNF's bytes (found through the source's map, at their place after shift) to
// the patch sector, extending an image that ends before it, and then points every field that
// names SYSTEM.CNF, in every hierarchy, at the patch sector; with durable the bytes are synced
// before any field changes. extended_to is set to the sector count the image was extended
// to, or left as it was. Gives false with the error line in error.
bool patch_for_gs2(FILE* image, const Volume_Map& map, const Sector_Shift& shift, const char* name,
                   bool durable, uint32_t& extended_to, std::string& error);
