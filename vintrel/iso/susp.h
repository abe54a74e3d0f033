#pragma once
// The System Use Sharing Protocol entries of a directory record that name sectors: CE
// (continuation area, SUSP 5.1) and the Rock Ridge links CL and PL (RRIP 4.1.5).

#include <cstdint>
#include <string>
#include <vector>

#include "iso/image.h"

// Continuation areas followed from one system use area before giving up.
constexpr int SUSP_MAX_CONTINUATIONS = 32;
// Largest continuation area read.
constexpr uint32_t SUSP_MAX_AREA = 65536;

// A field that names a sector: where it lies in the image and the sector it names.
struct Susp_Field {
    uint64_t offset;  // byte of the image where the both-byte-order location starts
    uint32_t lba;
};

// A continuation area and the CE entry that names it.
struct Susp_Continuation {
    Susp_Field field;
    uint32_t offset;  // byte offset of the area in its first sector
    uint32_t length;  // bytes of the area
};

// What the entries of one record's system use area (and its continuation areas) name.
struct Susp_Links {
    std::vector<Susp_Continuation> continuations;
    std::vector<Susp_Field> child_links;   // CL: the relocated directory
    std::vector<Susp_Field> parent_links;  // PL: the original parent
};

// The number of bytes that every system use area skips, from the SP entry at the start of
// area (the root's self record); -1 when there is none, and SUSP is not in use.
int susp_skip_from(const uint8_t* area, size_t length);

// Scans the system use area of length bytes that starts at byte area_offset of the image
// (its bytes in area), from byte skip on, and the continuation areas it leads to. Gives false
// with a reason when a continuation area cannot be read.
bool scan_system_use(const Image_File& image, const uint8_t* area, size_t length, uint64_t area_offset,
                     size_t skip, Susp_Links& links, std::string& error);
