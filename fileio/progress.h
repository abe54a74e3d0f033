#pragma once
// One-line progress indicator for long copies, shown only when standard output is a terminal
// (the front-end reads it through a pseudo-terminal).

#include <cstdint>

// Starts counting a copy of total bytes; draws nothing unless standard output is a terminal.
void progress_start(uint64_t total);

// Counts n more bytes done and redraws the line a few times a second.
void progress_advance(uint64_t n);

// Erases the line if it is drawn, so that a message can follow; counting goes on.
void progress_erase();

// Erases the line and stops counting, leaving the screen as it was before progress_start.
void progress_end();

// Formats the indicator for done of total bytes after seconds elapsed into out.
void format_progress(char* out, unsigned long out_size, uint64_t done, uint64_t total,
                     double seconds);
