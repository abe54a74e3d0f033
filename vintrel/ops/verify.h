#pragma once
// Checking a written image against the source's map before success is reported.

#include <cstdint>
#include <string>
#include <vector>

#include "iso/map_compare.h"
#include "iso/volume_map.h"

// What the image must look like besides the shift: SYSTEM.CNF at the patch sector (in the
// UDF side too, where its partition reaches it) when patched, else moved with the rest.
Expected_Change expected_change(const Volume_Map& map, const Sector_Shift& shift, bool patched, uint32_t extended_to);

// The bytes of SYSTEM.CNF as the map places it in the image fd (at most one sector), into
// bytes; gives false with the error line (naming name) when they cannot be read.
bool read_system_cnf(int fd, const char* name, const Volume_Map& map, const Sector_Shift& shift,
                     std::vector<uint8_t>& bytes, std::string& error);

// Reads the image fd (called name) back into a map and compares it with the source's map
// (compare_maps), and checks that the patch sector holds SYSTEM.CNF's bytes. Reads metadata
// and one sector only. Gives false with the error line naming the first difference.
bool verify_image(int fd, const char* name, const Volume_Map& source, const Sector_Shift& shift,
                  const Expected_Change& change, const std::vector<uint8_t>& system_cnf,
                  std::string& error);
