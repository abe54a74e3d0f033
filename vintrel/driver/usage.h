#pragma once
// The usage text.

// Rows of the usage text and the slot each row takes.
constexpr int USAGE_ROWS = 26;
constexpr int USAGE_ROW_SLOT = 90;

// The usage text, one line per row.
extern const char usage_text[USAGE_ROWS][USAGE_ROW_SLOT];

// Prints the usage text to standard output.
void print_usage();
