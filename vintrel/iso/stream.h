#pragma once
// Checked access to image streams with 64-bit byte positions.

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Result code of a checked stream call: 0, an errno value, or IO_SHORT.
constexpr int IO_SHORT = -1;

// errno after a failed call, never 0.
int last_error();

// Text for a result code, for error lines.
const char* io_reason(int code);

// Places the stream on byte pos from the start; returns a result code.
int seek_to(FILE* stream, uint64_t pos);

// The stream's position, or -1 with errno set.
int64_t stream_position(FILE* stream);

// Reads exactly n bytes at the position; IO_SHORT when the file ends first.
int read_exact(FILE* stream, void* buffer, size_t n);

// Writes exactly n bytes at the position; returns a result code.
int write_exact(FILE* stream, const void* buffer, size_t n);

// Reads exactly n bytes at byte pos.
int read_at(FILE* stream, uint64_t pos, void* buffer, size_t n);

// Writes exactly n bytes at byte pos.
int write_at(FILE* stream, uint64_t pos, const void* buffer, size_t n);

// Length of the stream's file in bytes, after flushing what is buffered; -1 on failure.
int64_t stream_length(FILE* stream);
