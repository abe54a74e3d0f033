#pragma once
// Unsigned decimal reading of number parameters.

#include <cstdint>
#include <cstdio>

// Reads text as unsigned decimal: leading white space, an optional sign, digits up to the
// first other character; clamps at 4294967295, and a minus sign negates modulo 2^32.
uint32_t read_number_parameter(const char* text);

// Reads a number from the stream by the same rules; when no digit follows the white space
// (and sign) nothing is stored and false is given.
bool read_number_from(FILE* stream, uint32_t& value);
