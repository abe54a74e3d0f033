#pragma once
// Building a volume map: adding structures (each once) and the fields that name them (each
// field once). Shared by the readers of the ISO 9660 and the UDF structures.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>

#include "iso/image.h"
#include "iso/volume_map.h"

// A map being built.
struct Map_Builder {
    const Image_File& image;
    Volume_Map& map;
    std::map<std::tuple<Extent_Kind, uint32_t, uint64_t>, int> index;
    std::set<uint64_t> fields;  // offsets of the fields already taken
};

// The index of the structure of that kind at lba (and, for kinds told apart by length,
// key_bytes), made when it is met first; a later sighting may only lengthen it.
int add_extent(Map_Builder& b, Extent_Kind kind, uint32_t lba, uint64_t bytes, const std::string& path,
               uint64_t key_bytes = 0);

// The index of the structure of that kind at lba, or -1.
int find_extent(const Map_Builder& b, Extent_Kind kind, uint32_t lba, uint64_t key_bytes = 0);

// Records field as naming structure i; a field is taken once, however often it is met.
void add_pointer(Map_Builder& b, int i, const Pointer_Field& field);
