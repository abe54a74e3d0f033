#pragma once
// Closing the streams of a run that builds a new image, on success and on failure.

#include "driver/job_settings.h"

// Prints the error for a new image name that names the source itself.
void print_same_file_error(const Job_Settings& job);

// Empties the new image after a failed build, closes both streams and gives the status 1.
int discard_new_image(Job_Settings& job);

// Closes the source and the new image; gives false, after emptying the new image and
// printing the error, when the new image could not be closed cleanly.
bool close_new_image(Job_Settings& job);
