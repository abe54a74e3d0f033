#include "iso/susp.h"

#include <vector>

#include "iso/byte_order.h"
#include "iso/geometry.h"

namespace {

// Entry header: signature (2), length (1), version (1) (SUSP 4.1).
constexpr size_t ENTRY_HEADER = 4;
// Offsets inside the entries used here.
constexpr size_t CE_LOCATION = 4;
constexpr size_t CE_OFFSET = 12;
constexpr size_t CE_LENGTH = 20;
constexpr size_t CE_BYTES = 28;
constexpr size_t LINK_LOCATION = 4;
constexpr size_t LINK_BYTES = 12;

// Whether the entry at p has the signature sig.
bool is(const uint8_t* p, const char* sig)
{
    return p[0] == static_cast<uint8_t>(sig[0]) && p[1] == static_cast<uint8_t>(sig[1]);
}

// Scans one area's entries; continuation areas found are appended to pending.
void scan_area(const uint8_t* area, size_t length, uint64_t area_offset, size_t from,
               Susp_Links& links, std::vector<Susp_Continuation>& pending)
{
    size_t pos = from;
    // Each entry is at least ENTRY_HEADER bytes long, so the loop ends at length.
    while (pos + ENTRY_HEADER <= length) {
        const uint8_t* e = area + pos;
        const size_t len = e[2];
        if (len < ENTRY_HEADER || pos + len > length)
            break;
        if (is(e, "ST"))
            break;
        const uint64_t at = area_offset + pos;
        if (is(e, "CE") && len >= CE_BYTES) {
            Susp_Continuation c{{at + CE_LOCATION, read_le32(e + CE_LOCATION)}, read_le32(e + CE_OFFSET),
                                read_le32(e + CE_LENGTH)};
            links.continuations.push_back(c);
            pending.push_back(c);
        } else if (is(e, "CL") && len >= LINK_BYTES) {
            links.child_links.push_back({at + LINK_LOCATION, read_le32(e + LINK_LOCATION)});
        } else if (is(e, "PL") && len >= LINK_BYTES) {
            links.parent_links.push_back({at + LINK_LOCATION, read_le32(e + LINK_LOCATION)});
        }
        pos += len;
    }
}

}  // namespace

int susp_skip_from(const uint8_t* area, size_t length)
{
    // SP: signature, length 7, version 1, check bytes BE EF, bytes skipped (SUSP 5.3).
    if (length >= 7 && is(area, "SP") && area[2] >= 7 && area[4] == 0xBE && area[5] == 0xEF)
        return area[6];
    return -1;
}

bool scan_system_use(const Image_File& image, const uint8_t* area, size_t length, uint64_t area_offset,
                     size_t skip, Susp_Links& links, std::string& error)
{
    std::vector<Susp_Continuation> pending;
    scan_area(area, length, area_offset, skip, links, pending);
    std::vector<uint8_t> buffer;
    for (int hops = 0; !pending.empty(); ++hops) {
        if (hops == SUSP_MAX_CONTINUATIONS) {
            error = "Rock Ridge continuation areas lead on more than " +
                    std::to_string(SUSP_MAX_CONTINUATIONS) + " times";
            return false;
        }
        const Susp_Continuation c = pending.front();
        pending.erase(pending.begin());
        if (c.length > SUSP_MAX_AREA) {
            error = "Rock Ridge continuation area at sector " + std::to_string(c.field.lba) + " is too large";
            return false;
        }
        const uint64_t off = sector_offset(c.field.lba) + c.offset;
        buffer.resize(c.length);
        if (!read_image(image, off, buffer.data(), buffer.size(), "a Rock Ridge continuation area", error))
            return false;
        scan_area(buffer.data(), buffer.size(), off, 0, links, pending);
    }
    return true;
}
