#pragma once
// Checks of a source image made before a new image is built from it.

#include <cstdint>
#include <cstdio>

#include "driver/job_settings.h"

// True when both names exist and are the same file (same device and inode).
bool same_file(const char* a, const char* b);

// Checks that a hole starting at start_lba can be inserted into the source (job.infile,
// whose root directory is in the record) without breaking it: the descriptor and the root
// directory lie before the hole, SYSTEM.CNF is in the root and fits in one sector, the tree
// is sound, no file is split by the hole, no extent moves past the last sector number, and
// with a start past the patch sector no file is overwritten by the patch. Prints the error
// and gives false otherwise.
bool check_source_for_hole(Job_Settings& job, uint32_t start_lba, uint32_t end_lba);
