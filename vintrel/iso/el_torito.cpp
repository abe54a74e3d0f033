#include "iso/el_torito.h"

#include <algorithm>

#include "iso/byte_order.h"
#include "iso/descriptors.h"
#include "iso/geometry.h"

namespace {

constexpr size_t ENTRY = 32;
// Entry fields (El Torito 2.0, 2.2 to 2.4).
constexpr size_t MEDIA_TYPE = 1;
constexpr size_t SECTOR_COUNT = 6;
constexpr size_t LOAD_RBA = 8;
constexpr size_t SECTION_COUNT = 2;
// Header indicators.
constexpr uint8_t VALIDATION = 0x01;
constexpr uint8_t MORE_SECTIONS = 0x90;
constexpr uint8_t FINAL_SECTION = 0x91;
constexpr uint8_t EXTENSION = 0x44;
// Boot information table fields, from the start of the boot image.
constexpr size_t BI_PVD = 8;
constexpr size_t BI_FILE = 12;
constexpr size_t BI_LENGTH = 16;
constexpr size_t BI_CHECKSUM = 20;
constexpr size_t BI_SUMMED_FROM = 64;

// Sectors of 2048 bytes that an entry's image takes.
uint32_t image_sectors(const uint8_t* e)
{
    // Floppy emulations hold 1.2, 1.44 and 2.88 MB; otherwise the count of 512-byte sectors.
    switch (e[MEDIA_TYPE] & 0x0F) {
    case 1: return 1200 * 1024 / SECTOR_BYTES;
    case 2: return 1440 * 1024 / SECTOR_BYTES;
    case 3: return 2880 * 1024 / SECTOR_BYTES;
    default: return std::max<uint32_t>(1, (read_le16(e + SECTOR_COUNT) * 512u + SECTOR_BYTES - 1) / SECTOR_BYTES);
    }
}

// Whether the validation entry is sound: header 1, key 55 AA, words summing to 0 (2.1).
bool valid_header(const uint8_t* e)
{
    uint16_t sum = 0;
    for (size_t i = 0; i < ENTRY; i += 2)
        sum = static_cast<uint16_t>(sum + read_le16(e + i));
    return e[0] == VALIDATION && e[30] == 0x55 && e[31] == 0xAA && sum == 0;
}

// Looks for a boot information table in a no-emulation image and, where one is found whose
// checksum holds, records where its bi_file lies and how long the image is.
void find_boot_info(const Image_File& image, Boot_Image& b)
{
    uint8_t head[BI_SUMMED_FROM];
    std::string ignored;
    const uint64_t at = sector_offset(b.lba);
    if (!read_image(image, at, head, sizeof head, "a boot image", ignored))
        return;
    const uint32_t length = read_le32(head + BI_LENGTH);
    if (read_le32(head + BI_PVD) != DESCRIPTOR_SECTOR || read_le32(head + BI_FILE) != b.lba ||
        length <= BI_SUMMED_FROM || length > BOOT_INFO_MAX_BYTES)
        return;
    std::vector<uint8_t> data(length);
    if (!read_image(image, at, data.data(), data.size(), "a boot image", ignored))
        return;
    uint32_t sum = 0;
    for (size_t i = BI_SUMMED_FROM; i + 4 <= data.size(); i += 4)
        sum += read_le32(&data[i]);
    if (sum != read_le32(head + BI_CHECKSUM))
        return;
    b.info_field = at + BI_FILE;
    b.sectors = std::max<uint32_t>(b.sectors, static_cast<uint32_t>(sectors_for(length)));
}

// Records the boot image of an initial or section entry that is bootable or not (0x88/0x00).
void add_image(const Image_File& image, const uint8_t* e, uint64_t field_at, Boot_Catalog& catalog)
{
    if (e[0] != 0x88 && e[0] != 0x00)
        return;
    const uint32_t lba = read_le32(e + LOAD_RBA);
    if (lba == 0)
        return;
    Boot_Image b{field_at, lba, image_sectors(e), 0};
    if ((e[MEDIA_TYPE] & 0x0F) == 0)
        find_boot_info(image, b);
    catalog.images.push_back(b);
}

}  // namespace

bool read_boot_catalog(const Image_File& image, uint32_t catalog_lba, Boot_Catalog& catalog,
                       std::string& error)
{
    catalog = Boot_Catalog{1, {}};
    const uint64_t base = sector_offset(catalog_lba);
    const uint64_t room = image.length > base ? image.length - base : 0;
    const size_t bytes = static_cast<size_t>(std::min<uint64_t>(room, sector_offset(CATALOG_MAX_SECTORS)));
    if (bytes < 2 * ENTRY) {
        error = "the El Torito boot catalog at sector " + std::to_string(catalog_lba) +
                " lies past the end of the image";
        return false;
    }
    std::vector<uint8_t> c(bytes);
    if (!read_image(image, base, c.data(), c.size(), "the El Torito boot catalog", error))
        return false;
    if (!valid_header(c.data())) {
        error = "the El Torito boot catalog at sector " + std::to_string(catalog_lba) + " is damaged";
        return false;
    }
    add_image(image, &c[ENTRY], base + ENTRY + LOAD_RBA, catalog);
    size_t pos = 2 * ENTRY;
    // Sections: a header, then its entries (each may be followed by extension entries). Each
    // turn moves on by at least one entry, so the loop ends with the bytes read.
    while (pos + ENTRY <= c.size()) {
        const uint8_t indicator = c[pos];
        if (indicator != MORE_SECTIONS && indicator != FINAL_SECTION)
            break;
        const uint16_t count = read_le16(&c[pos + SECTION_COUNT]);
        pos += ENTRY;
        for (uint16_t i = 0; i < count && pos + ENTRY <= c.size(); ++i) {
            add_image(image, &c[pos], base + pos + LOAD_RBA, catalog);
            pos += ENTRY;
            while (pos + ENTRY <= c.size() && c[pos] == EXTENSION)
                pos += ENTRY;
        }
        if (indicator == FINAL_SECTION)
            break;
    }
    catalog.sectors = static_cast<uint32_t>(sectors_for(pos));
    return true;
}
