#pragma once
// The GS2 patch: SYSTEM.CNF of the root directory moved to the patch sector.

#include <cstdint>
#include <cstdio>
#include <string>

#include "iso/record.h"

// Name the patch looks for in the root directory's identifiers.
constexpr const char* SYSTEM_CNF = "SYSTEM.CNF";

// Outcome of the search for SYSTEM.CNF.
enum class Find_Result { Found, Not_Found, Failed };

// Scans the root directory, passing zero fill byte by byte, for the first file record whose
// name contains SYSTEM.CNF; on Found gives its record and the byte where it starts.
Find_Result find_system_cnf(FILE* image, uint32_t RootDirLBA, uint32_t SizeOfRootDir,
                            uint32_t SectorSize, uint64_t& record_pos, ISO_Directory_Record& record,
                            std::string& error);

// Checks that the root directory of the image named name holds a SYSTEM.CNF that fits in one
// sector; prints the error and gives false otherwise.
bool check_system_cnf(FILE* image, uint32_t RootDirLBA, uint32_t SizeOfRootDir,
                      uint32_t SectorSize, const char* name);

// Copies SYSTEM.CNF's bytes to the patch sector and then points its record there; with
// durable the data is synced before the record changes. Gives false after printing an error.
bool patch_for_gs2(FILE* image, uint32_t RootDirLBA, uint32_t SizeOfRootDir, uint32_t SectorSize,
                   const char* name, bool durable);
