#pragma once
// Generate dummy mode: a file of a given number of zero bytes.

#include "settings/job_settings.h"

// Writes outname with sizeDummy zero bytes, in large blocks; gives the exit status (1 after
// printing an error, the partial file removed).
int make_dummy_file(Job_Settings job);
