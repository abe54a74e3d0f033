#pragma once
// Depth-first walk over every directory record below a directory (ECMA-119 6.8), reading
// one sector at a time.

#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "iso/image.h"
#include "iso/record.h"

// Deepest directory level the walker enters; real discs stay far below it.
constexpr unsigned WALK_MAX_DEPTH = 64;

// One record as the walk meets it.
struct Walk_Record {
    uint64_t offset;              // byte of the image where the record starts
    const uint8_t* bytes;         // the record's bytes, record.Length of them
    ISO_Directory_Record record;  // its fixed part
    std::string name;             // its identifier; empty for the self and parent entries
    uint32_t directory;           // extent of the directory that holds it
    bool first;                   // the directory's first record (its self entry)
};

// Per-record action; gives false, with error set, to stop the walk.
using Record_Action = std::function<bool(const Walk_Record& found, std::string& error)>;

// Walks the directory at extent, size bytes long, and every subdirectory reached from it,
// running action on each record in pre-order. A directory is told by its directory flag; a
// directory whose extent is already in walked (a link back, a second link, or a directory
// of another hierarchy walked before) is not walked again, and every directory walked is
// added to it. Gives false with a one-line reason in error when the image is damaged or
// cannot be read.
bool walk_directory_tree(const Image_File& image, uint32_t extent, uint32_t size,
                         const Record_Action& action, std::set<uint32_t>& walked, std::string& error);
