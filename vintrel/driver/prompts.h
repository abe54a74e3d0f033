#pragma once
// Interactive mode: asking on the console for the parameters the command line lacks.

#include <cstdio>

#include "settings/job_settings.h"

// Size of each name buffer: a name of at most 254 characters and its NUL.
constexpr int NAME_BUFFER = 255;

// Outcome of reading one name.
enum class Name_Read { Ok, Ended, Too_Long };

// Reads one white-space-delimited name into buffer (NAME_BUFFER bytes); never writes past it.
Name_Read read_name(FILE* stream, char* buffer);

// Prompts for the parameters of command (a, g, n or p) and fills the record from standard
// input; ends the process with status 1 when no usable name can be read.
void interactive_mode(char command, Job_Settings& job);
