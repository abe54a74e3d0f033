#pragma once
// The UDF side of a UDF bridge image (ECMA-167 parts 3 and 4, OSTA UDF 1.02 to 2.01): the
// anchors, both volume descriptor sequences, the integrity sequence, the file set descriptor,
// and from the root every file entry, allocation extent, directory and data extent, each
// with the fields that name it, added to the volume map.

#include <cstdint>
#include <string>
#include <vector>

#include "iso/map_builder.h"

// Sector of the first anchor volume descriptor pointer (ECMA-167 3/8.4.2.1).
constexpr uint32_t UDF_ANCHOR_SECTOR = 256;
// An anchor's fields (3/10.2): its tag's location, and where the sequences lie.
constexpr uint32_t UDF_ANCHOR_LOCATION = 12;
constexpr uint32_t UDF_ANCHOR_MAIN = 20;
constexpr uint32_t UDF_ANCHOR_RESERVE = 28;

// The most sectors after the partition searched for anchors (genisoimage repeats the anchor
// in every sector of its padding there, and 7z reads them).
constexpr uint32_t ANCHOR_TAIL_LIMIT = 1024;

// Whether anchors are looked for at sector of an image of image_sectors sectors whose UDF
// partition ends before partition_end: at 256, at the last sector and the one 255 before it,
// and in a short run of sectors from the partition's last block to the end.
bool anchor_place(uint64_t sector, uint64_t image_sectors, uint64_t partition_end);

// Adds the UDF structures to the map when the image has them (a volume recognition sequence
// after one of the descriptor sets ending at set_ends, or an anchor at sector 256). Gives
// false with a reason when they are damaged, or of a kind that cannot be moved (a metadata,
// virtual or sparable partition, more than one partition, strategy 4096 file entries).
bool add_udf_volume(Map_Builder& b, const std::vector<uint32_t>& set_ends, std::string& error);
