#pragma once
// Names of files: whether two name one file, and removing an output that was left partial.

#include <string>

// True when both names exist and are the same file (same device and inode).
bool same_file(const char* a, const char* b);

// True when fd and the file called name are the same file.
bool same_file_as_fd(int fd, const char* name);

// Removes name when it is a regular file, so that a partial output is not left behind; a
// device or anything else is never removed.
void remove_partial_output(const char* name);

// The folder part of a path ("." for a bare name).
std::string folder_of(const std::string& path);
