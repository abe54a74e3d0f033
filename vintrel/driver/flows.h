#pragma once
// The flows of normal mode and patch mode.

#include "settings/job_settings.h"

// The n command: a new image with a hole from StartLBA to 12231, relocated and patched.
// Gives the exit status.
int normal_mode(Job_Settings& job);

// The p command: SYSTEM.CNF moved to sector 12231 in place. Gives the exit status.
int patch_mode(Job_Settings& job);
