#pragma once
// Depth-first walk over every directory record below a directory.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "iso/record.h"

// Deepest directory level the walker enters; real discs stay far below it.
constexpr unsigned WALK_MAX_DEPTH = 64;

// Per-record action: runs with the stream just after the record, may change and rewrite the
// record's extent, and must leave the stream just after it again. Returns false, with error
// set, to stop the walk.
using Record_Action =
    std::function<bool(FILE* image, uint64_t record_pos, ISO_Directory_Record& record,
                       const std::string& name, std::string& error)>;

// Walks the directory at extent, size bytes long, and every subdirectory reached from it,
// running action on each record in pre-order; leaves the stream where it was. Returns false
// with a one-line reason in error when the image is damaged or cannot be read.
bool walk_directory_tree(FILE* image, uint32_t extent, uint32_t size, uint32_t sector_size,
                         const Record_Action& action, std::string& error);
