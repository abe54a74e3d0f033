#pragma once
// Choosing the command from argument 1 and taking its parameters from the command line.

#include "settings/job_settings.h"

// The lower-case command letter that the first character of arg selects, or 0 for none.
char select_command(const char* arg);

// The argument count from which the command's parameters come from the command line.
int parameter_threshold(char command);

// Copies the command's parameters from argv into the record.
void fill_from_arguments(char** argv, char command, Job_Settings& job);

// The program's entry: dispatch and the command's flow; gives the exit status.
int run_vintrel(int argc, char** argv);
