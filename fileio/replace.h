#pragma once
// Writing a file whole or not at all: the contents go into a temporary file in the target's
// folder (unnamed where the file system offers O_TMPFILE, otherwise a hidden name beside the
// target), which becomes the target with one atomic rename once it is complete and on disk.

#include <string>

// A file being written in place of another.
struct Pending_File {
    int fd = -1;              // the temporary file, open for reading and writing
    int folder_fd = -1;       // the target's folder
    std::string target;       // the target's name inside its folder
    std::string hidden;       // the temporary file's hidden name, empty while it has none
};

// Hidden temporary names start with this, then the target's name.
constexpr const char* PENDING_PREFIX = ".";
constexpr const char* PENDING_INFIX = ".vintrel-";

// Creates the temporary file for path. Hidden temporary files of earlier runs onto path that
// are no longer in use (their run ended without removing them) are removed first. Gives 0 or
// an errno value.
int pending_create(const std::string& path, Pending_File& pending);

// Makes the temporary file the target: syncs it, gives it the target's name with one rename,
// and syncs the folder. Gives 0 or an errno value; on failure the file stays pending.
int pending_commit(Pending_File& pending);

// Removes the temporary file and closes what is open. Safe to call more than once.
void pending_discard(Pending_File& pending);
