#pragma once
// Where the root directory of an image lies, taken from the image's map.

#include <cstdio>
#include <string>

#include "iso/volume_map.h"
#include "settings/job_settings.h"

// Builds the map of the image open in stream (called job.outname) and stores its primary
// root directory's extent and length in the record. Gives false with the error line.
bool read_root_directory(FILE* stream, Job_Settings& job, Volume_Map& map, std::string& error);
