#include "ops/field_writes.h"

#include <algorithm>
#include <cstring>

#include "fileio/io.h"
#include "iso/byte_order.h"
#include "iso/fields.h"
#include "iso/geometry.h"
#include "iso/udf_tag.h"

namespace {

// Most sectors read and written in one piece, unless one descriptor is longer.
constexpr uint64_t RUN_SECTORS = 64;

// The bytes a write must be made with: its field, and the whole descriptors it falls in.
struct Span {
    uint64_t first, end;     // byte range
    size_t write;            // index of the write
    std::vector<int> units;  // the descriptors that hold it
};

// The descriptors of units (in order) that hold the byte at offset: none, one, or an
// identifier embedded in a file entry together with the entry.
std::vector<int> units_at(const std::vector<Tag_Unit>& units, uint64_t offset)
{
    std::vector<int> found;
    auto it = std::upper_bound(units.begin(), units.end(), offset,
                               [](uint64_t off, const Tag_Unit& u) { return off < u.offset; });
    // An entry holds its identifiers within one sector: looking back that far is enough.
    while (it != units.begin()) {
        --it;
        if (offset >= it->offset + SECTOR_BYTES)
            break;
        if (offset < it->offset + it->length)
            found.push_back(static_cast<int>(it - units.begin()));
    }
    return found;
}

}  // namespace

Field_Write pointer_write(const Pointer_Field& p, uint32_t lba, const Sector_Shift& shift)
{
    Field_Write w{moved_offset(p.offset, shift), {}, static_cast<uint8_t>(field_length(p.form))};
    encode_field(p.form, field_value(p, lba, static_cast<uint32_t>(moved_sector(p.base, shift))), w.bytes);
    return w;
}

Field_Write le32_write(uint64_t offset, uint32_t value)
{
    Field_Write w{offset, {}, 4};
    write_le32(w.bytes, value);
    return w;
}

Field_Write both32_write(uint64_t offset, uint32_t value)
{
    Field_Write w{offset, {}, 8};
    write_both32(w.bytes, value);
    return w;
}

std::vector<Tag_Unit> moved_units(const std::vector<Tag_Unit>& units, const Sector_Shift& shift)
{
    std::vector<Tag_Unit> moved;
    moved.reserve(units.size());
    for (const Tag_Unit& u : units)
        moved.push_back({moved_offset(u.offset, shift), u.length});
    std::sort(moved.begin(), moved.end(), [](const Tag_Unit& a, const Tag_Unit& b) { return a.offset < b.offset; });
    return moved;
}

int apply_field_writes(int fd, std::vector<Field_Write> writes, const std::vector<Tag_Unit>& units)
{
    std::vector<Span> spans;
    spans.reserve(writes.size());
    for (size_t i = 0; i < writes.size(); ++i) {
        Span span{writes[i].offset, writes[i].offset + writes[i].length, i, units_at(units, writes[i].offset)};
        for (int u : span.units) {
            span.first = std::min(span.first, units[u].offset);
            span.end = std::max(span.end, units[u].offset + units[u].length);
        }
        spans.push_back(span);
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.first < b.first; });
    std::vector<uint8_t> run;
    size_t i = 0;
    // Each turn writes at least one field, so the loop ends with the list.
    while (i < spans.size()) {
        const uint64_t first = spans[i].first / SECTOR_BYTES;
        uint64_t last = (spans[i].end - 1) / SECTOR_BYTES;
        size_t j = i + 1;
        while (j < spans.size()) {
            const uint64_t s = spans[j].first / SECTOR_BYTES, e = (spans[j].end - 1) / SECTOR_BYTES;
            if (s > last + 1 || e - first >= RUN_SECTORS)
                break;
            last = std::max(last, e);
            ++j;
        }
        const uint64_t base = first * SECTOR_BYTES;
        run.resize(static_cast<size_t>((last - first + 1) * SECTOR_BYTES));
        int rc = read_full_at(fd, base, run.data(), run.size());
        if (rc != 0)
            return rc;
        std::vector<int> touched;
        for (size_t k = i; k < j; ++k) {
            const Field_Write& w = writes[spans[k].write];
            std::memcpy(&run[static_cast<size_t>(w.offset - base)], w.bytes, w.length);
            touched.insert(touched.end(), spans[k].units.begin(), spans[k].units.end());
        }
        // Inner descriptors (identifiers embedded in an entry) before the outer one.
        std::sort(touched.begin(), touched.end());
        touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
        for (auto t = touched.rbegin(); t != touched.rend(); ++t)
            retag(&run[static_cast<size_t>(units[*t].offset - base)]);
        rc = write_full_at(fd, base, run.data(), run.size());
        if (rc != 0)
            return rc;
        i = j;
    }
    return 0;
}
