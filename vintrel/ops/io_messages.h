#pragma once
// The one-line messages for failed reads and writes of a named file.

#include "ops/copy.h"

// Prints "Error: could not read NAME: REASON".
void print_read_error(const char* name, int code);

// Prints "Error: could not write NAME: REASON".
void print_write_error(const char* name, int code);

// Prints the error of a failed copy from source_name to target_name.
void print_copy_error(const Copy_Result& result, const char* source_name, const char* target_name);
