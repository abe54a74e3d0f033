#pragma once
// Auto mode: the hole starts at the last file that begins at or before the patch sector.

#include <cstdint>
#include <cstdio>
#include <string>

#include "driver/job_settings.h"

// Walks the directory at extent and below, raising best to the largest file extent that is
// above best and not above PatchLBA; gives false with a reason in error on a damaged image.
bool find_start_lba(uint32_t& best, Job_Settings& job, FILE* source, uint32_t extent,
                    uint32_t size, std::string& error);

// Prints what sector PatchLBA of the source holds, after no start was found.
void print_patch_sector_diagnostic(Job_Settings& job);

// The whole of the a command: opens, checks, searches, builds and closes. Gives the exit
// status: 0 when the new image was built, 1 otherwise (no start found, or an error).
int auto_mode(Job_Settings& job);
