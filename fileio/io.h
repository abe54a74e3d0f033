#pragma once
// Checked reads and writes of whole byte ranges at 64-bit offsets, and the text of a failure.

#include <cstddef>
#include <cstdint>

// Result code of a checked call: 0, an errno value, or IO_SHORT.
constexpr int IO_SHORT = -1;

// errno after a failed call, never 0.
int last_error();

// Text for a result code, for error lines.
const char* io_reason(int code);

// Reads exactly n bytes at byte off; IO_SHORT when the file ends first.
int read_full_at(int fd, uint64_t off, void* buffer, size_t n);

// Reads up to n bytes at byte off into buffer; gives the count (short only at the end of the
// file) or -1 with errno set.
int64_t read_upto_at(int fd, uint64_t off, void* buffer, size_t n);

// Writes exactly n bytes at byte off; gives a result code.
int write_full_at(int fd, uint64_t off, const void* buffer, size_t n);

// Writes exactly n bytes at the descriptor's position; gives a result code.
int write_full(int fd, const void* buffer, size_t n);

// Length of the file behind fd, or -1 with errno set.
int64_t file_size(int fd);
