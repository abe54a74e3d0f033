#include "iso/walker.h"

#include "iso/geometry.h"

namespace {

// What one walk shares across its levels.
struct Walk_State {
    const Image_File& image;
    const Record_Action& action;
    std::set<uint32_t>& walked;
    std::string& error;
};

// Sets the walk's error text and gives false.
bool fail(Walk_State& state, const std::string& text)
{
    state.error = text;
    return false;
}

// "sector N byte M" for a byte position, for error texts.
std::string at_byte(uint64_t pos)
{
    return "sector " + std::to_string(pos / SECTOR_BYTES) + " byte " +
           std::to_string(pos % SECTOR_BYTES);
}

// Walks one directory at extent; self_lba is the extent its own entry must name.
bool walk_one(Walk_State& state, uint32_t extent, uint32_t size, unsigned depth)
{
    const uint64_t start = sector_offset(extent);
    const uint64_t end = start + size;
    if (end > state.image.length)
        return fail(state, "directory at sector " + std::to_string(extent) +
                               " runs past the end of the image");
    state.walked.insert(extent);

    uint8_t sector[SECTOR_BYTES];
    uint64_t loaded = UINT64_MAX;  // start of the sector held in the buffer
    bool first = true;
    uint64_t pos = start;
    // Each turn moves pos on by at least one byte, so the loop ends at end.
    while (pos < end) {
        const uint64_t sector_start = pos - pos % SECTOR_BYTES;
        if (sector_start != loaded) {
            const uint64_t n = std::min<uint64_t>(SECTOR_BYTES, end - sector_start);
            std::string why;
            if (!read_image(state.image, sector_start, sector, static_cast<size_t>(n), "a directory", why))
                return fail(state, why);
            loaded = sector_start;
        }
        const size_t in = static_cast<size_t>(pos - sector_start);
        const uint8_t length = sector[in];
        if (length == 0) {
            // Zero fill: no further record in this sector (ECMA-119 6.8.1.1).
            pos = sector_start + SECTOR_BYTES;
            continue;
        }
        Walk_Record found;
        const size_t available = static_cast<size_t>(std::min<uint64_t>(SECTOR_BYTES - in, end - pos));
        if (!read_directory_record(sector + in, available, found.record, found.name))
            return fail(state, "damaged directory record at " + at_byte(pos));
        found.offset = pos;
        found.bytes = sector + in;
        found.directory = extent;
        found.first = first;
        const bool self_or_parent = record_is_self_or_parent(found.record, found.name);
        if (first && !(self_or_parent && record_lba(found.record) == extent))
            return fail(state, "directory at sector " + std::to_string(extent) +
                                   " does not begin with its own entry");
        first = false;
        if (!state.action(found, state.error))
            return false;
        pos += length;

        if (record_is_directory(found.record) && !self_or_parent) {
            const uint32_t child = record_lba(found.record);
            // A directory met a second time (a cycle or a second link) is not walked again,
            // so nothing in it is handled twice.
            if (state.walked.count(child) == 0) {
                if (depth + 1 >= WALK_MAX_DEPTH)
                    return fail(state, "directory tree deeper than " +
                                           std::to_string(WALK_MAX_DEPTH) + " levels");
                if (!walk_one(state, child, record_size(found.record), depth + 1))
                    return false;
                // The buffer now holds a sector of the child.
                loaded = UINT64_MAX;
            }
        }
    }
    return true;
}

}  // namespace

bool walk_directory_tree(const Image_File& image, uint32_t extent, uint32_t size,
                         const Record_Action& action, std::set<uint32_t>& walked, std::string& error)
{
    Walk_State state{image, action, walked, error};
    return walk_one(state, extent, size, 0);
}
