#pragma once
// Closing the streams of a run that builds a new image, on success and on failure.

#include <string>

#include "settings/job_settings.h"

// The error line for a new image name that names the source itself.
std::string same_file_error(const Job_Settings& job);

// Empties the new image after a failed build, closes both streams and gives the status 1.
int discard_new_image(Job_Settings& job);

// Closes the source and the new image; gives false with the error line, after emptying the
// new image, when the new image could not be written out and closed cleanly.
bool close_new_image(Job_Settings& job, std::string& error);
