#pragma once
// The new image of the a and n commands. Its name is created (or emptied) when the command
// starts, so that every failure leaves it empty; the image itself is written into a temporary
// file beside it, which takes the name only once the image is complete, verified and on disk.

#include <cstdint>
#include <string>

#include "fileio/replace.h"
#include "settings/job_settings.h"

// The error line for a new image name that names the source itself.
std::string same_file_error(const Job_Settings& job);

// Checks, before anything is written, that a new image of bytes bytes, whose data take about
// data_bytes of disk space, fits where job.outname lies: under the file system's largest file,
// the process's file size limit and the free space. Gives false with the error line.
bool check_room(const Job_Settings& job, uint64_t bytes, uint64_t data_bytes, std::string& error);

// Turns job.outfile into the temporary file that will become the new image (a device given as
// the new image is written directly). Gives false with the error line.
bool begin_new_image(Job_Settings& job, Pending_File& pending, std::string& error);

// Closes the source and makes the temporary file the new image (synced, renamed, the folder
// synced). Gives false with the error line; the new image's name is then left empty.
bool commit_new_image(Job_Settings& job, Pending_File& pending, std::string& error);

// Removes the temporary file, leaves the new image's name empty, closes both files and gives
// the status 1.
int discard_new_image(Job_Settings& job, Pending_File& pending);
