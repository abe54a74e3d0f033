#pragma once
// Comparing the map of a new image with the map of its source.

#include <cstdint>
#include <string>

#include "iso/shift.h"
#include "iso/volume_map.h"

// What the new image must look like besides the shift: where SYSTEM.CNF must lie, and the
// sector count the image was extended to (0 when it was not).
struct Expected_Change {
    uint32_t system_cnf_lba;
    uint32_t extended_to;
    uint32_t udf_system_cnf_lba;  // where the UDF side's SYSTEM.CNF data must lie
};

// Checks that after describes before with every structure at or past shift.start moved by
// shift.count and the rest unmoved, SYSTEM.CNF at its new sector, the same sizes, names and
// pointing fields (each at its moved place), the volume space sizes grown by the count, and
// the image as long as it should be. On a difference gives false with error naming the first
// structure that differs.
bool compare_maps(const Volume_Map& before, const Volume_Map& after, const Sector_Shift& shift,
                  const Expected_Change& change, std::string& error);
