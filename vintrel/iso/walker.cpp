#include "iso/walker.h"

#include <set>

#include "iso/geometry.h"
#include "iso/stream.h"

namespace {

// What one walk shares across its levels.
struct Walk_State {
    FILE* image;
    uint32_t sector_size;
    uint64_t image_length;
    const Record_Action* action;
    std::set<uint32_t> walked;  // extents of the directories already walked
    std::string* error;
};

// Sets the walk's error text and gives false.
bool fail(Walk_State& state, const std::string& text)
{
    *state.error = text;
    return false;
}

// "sector N byte M" for a byte position, for error texts.
std::string at_byte(uint64_t pos, uint32_t sector_size)
{
    return "sector " + std::to_string(pos / sector_size) + " byte " +
           std::to_string(pos % sector_size);
}

// Walks one directory at extent; self_lba is the extent its own entry must name.
bool walk_one(Walk_State& state, uint32_t extent, uint32_t size, unsigned depth, uint32_t self_lba)
{
    const uint32_t ss = state.sector_size;
    const uint64_t start = sector_offset(extent, ss);
    const uint64_t end = start + size;
    if (end > state.image_length)
        return fail(state, "directory at sector " + std::to_string(extent) +
                               " runs past the end of the image");
    state.walked.insert(extent);

    bool first = true;
    uint64_t pos = start;
    // Each turn moves pos on by at least one byte, so the loop ends at end.
    while (pos < end) {
        uint8_t length = 0;
        int rc = read_at(state.image, pos, &length, 1);
        if (rc != 0)
            return fail(state, "could not read directory at " + at_byte(pos, ss) + ": " +
                                   io_reason(rc));
        if (length == 0) {
            // Zero fill: no further record in this sector (ECMA-119 6.8.1.1).
            pos = (pos / ss + 1) * ss;
            continue;
        }
        if (pos % ss + length > ss || pos + length > end || length < RECORD_FIXED_BYTES + 1)
            return fail(state, "damaged directory record at " + at_byte(pos, ss));

        ISO_Directory_Record record;
        std::string name;
        rc = seek_to(state.image, pos);
        if (rc == 0)
            rc = read_directory_record(state.image, record, name);
        if (rc != 0)
            return fail(state, "could not read directory record at " + at_byte(pos, ss) + ": " +
                                   io_reason(rc));
        if (record.NameLength == 0 || RECORD_FIXED_BYTES + record.NameLength > length)
            return fail(state, "damaged directory record at " + at_byte(pos, ss));
        const bool self_or_parent = record_is_self_or_parent(record, name);
        const uint32_t stored_lba = record_lba(record);
        if (first && !(self_or_parent && stored_lba == self_lba))
            return fail(state, "directory at sector " + std::to_string(extent) +
                                   " does not begin with its own entry");
        first = false;

        if (!(*state.action)(state.image, pos, record, name, *state.error))
            return false;
        pos += length;

        if (record_is_directory(record) && !self_or_parent) {
            const uint32_t child = record_lba(record);
            // A directory met a second time (a cycle or a second link) is not walked again,
            // so nothing in it is handled twice.
            if (state.walked.count(child) == 0) {
                if (depth + 1 >= WALK_MAX_DEPTH)
                    return fail(state, "directory tree deeper than " +
                                           std::to_string(WALK_MAX_DEPTH) + " levels");
                if (!walk_one(state, child, record_size(record), depth + 1, stored_lba))
                    return false;
            }
        }
    }
    return true;
}

}  // namespace

bool walk_directory_tree(FILE* image, uint32_t extent, uint32_t size, uint32_t sector_size,
                         const Record_Action& action, std::string& error)
{
    const int64_t saved = stream_position(image);
    const int64_t length = stream_length(image);
    if (saved < 0 || length < 0) {
        error = "could not read the image";
        return false;
    }
    Walk_State state{image, sector_size, static_cast<uint64_t>(length), &action, {}, &error};
    bool ok = walk_one(state, extent, size, 0, extent);
    if (seek_to(image, static_cast<uint64_t>(saved)) != 0 && ok) {
        error = "could not return to the position before the walk";
        ok = false;
    }
    return ok;
}
