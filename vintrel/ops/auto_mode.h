#pragma once
// Auto mode: the hole starts at the last file that begins at or before the patch sector.

#include <cstdint>
#include <string>
#include <vector>

#include "settings/job_settings.h"

// The lines that tell what sector PatchLBA of the source holds, after no start was found.
bool patch_sector_diagnostic(Job_Settings& job, std::vector<std::string>& lines, std::string& error);

// The whole of the a command: opens, checks, searches, builds and closes. Gives the exit
// status: 0 when the new image was built and checked, 1 otherwise (no start found, or an
// error, after which the new image is left empty).
int auto_mode(Job_Settings& job);
