#pragma once
// The El Torito boot catalog (El Torito 2.0, sections 2.1 to 2.5) and the boot images it
// names, with the boot information table that mastering tools write into a no-emulation
// image (genisoimage -boot-info-table).

#include <cstdint>
#include <string>
#include <vector>

#include "iso/image.h"

// Catalog sectors read before giving up on its final section.
constexpr uint32_t CATALOG_MAX_SECTORS = 8;
// Largest boot image whose boot information table is checked.
constexpr uint32_t BOOT_INFO_MAX_BYTES = 16u << 20;

// One boot image that the catalog names.
struct Boot_Image {
    uint64_t field;       // byte of the image where the catalog entry's load RBA lies
    uint32_t lba;         // the image's first sector
    uint32_t sectors;     // sectors it takes, from its media type or its sector count
    uint64_t info_field;  // byte of the image of the boot information table's bi_file, or 0
};

// The catalog: how many sectors it takes and the images it names.
struct Boot_Catalog {
    uint32_t sectors;
    std::vector<Boot_Image> images;
};

// Reads the catalog at catalog_lba; false with a reason when it cannot be read or its
// validation entry is not sound.
bool read_boot_catalog(const Image_File& image, uint32_t catalog_lba, Boot_Catalog& catalog,
                       std::string& error);
