#pragma once
// What the a and n commands share once both files are open: the source's map, the checks,
// the build, and the one way a failed build ends.

#include <cstdio>
#include <string>

#include "fileio/replace.h"
#include "iso/volume_map.h"
#include "settings/job_settings.h"

// Builds the map of the image open in stream (called name, for messages). Gives false with
// the error line.
bool read_image_map(FILE* stream, const char* name, Volume_Map& map, std::string& error);

// Builds the map of the source (job.infile), storing the root directory in the record, and
// warns of each structure the map cannot move. Gives false with the error line.
bool read_source_map(Job_Settings& job, Volume_Map& map, std::string& error);

// Prints the error line, empties the new image, closes both files and gives the status 1; when
// an interruption has arrived, ends the process by it instead, after saying so.
int fail_new_image(Job_Settings& job, const std::string& error);

// Removes what was written of the new image, says that it was not written, and ends the
// process by the interruption that arrived.
[[noreturn]] void stop_new_image(Job_Settings& job, Pending_File& pending);

// Checks the hole from job.StartLBA to job.EndLBA against the map, builds, relocates,
// patches and verifies the new image, closes both files and prints "All tasks complete.".
// Gives the exit status; on failure the new image is left empty.
int build_new_image(Job_Settings& job, const Volume_Map& map);
