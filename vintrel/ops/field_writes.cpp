#include "ops/field_writes.h"

#include <algorithm>
#include <cstring>

#include "fileio/io.h"
#include "iso/byte_order.h"
#include "iso/fields.h"
#include "iso/geometry.h"

namespace {

// Most sectors read and written in one piece.
constexpr uint64_t RUN_SECTORS = 64;

}  // namespace

Field_Write field_write(uint64_t offset, Field_Form form, uint32_t lba)
{
    Field_Write w{offset, {}, static_cast<uint8_t>(field_length(form))};
    encode_field(form, lba, w.bytes);
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

int apply_field_writes(int fd, std::vector<Field_Write> writes)
{
    std::sort(writes.begin(), writes.end(),
              [](const Field_Write& a, const Field_Write& b) { return a.offset < b.offset; });
    std::vector<uint8_t> run;
    size_t i = 0;
    // Each turn writes at least one field, so the loop ends with the list.
    while (i < writes.size()) {
        const uint64_t first = writes[i].offset / SECTOR_BYTES;
        uint64_t last = (writes[i].offset + writes[i].length - 1) / SECTOR_BYTES;
        size_t j = i + 1;
        while (j < writes.size()) {
            const uint64_t s = writes[j].offset / SECTOR_BYTES;
            const uint64_t e = (writes[j].offset + writes[j].length - 1) / SECTOR_BYTES;
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
        for (size_t k = i; k < j; ++k)
            std::memcpy(&run[static_cast<size_t>(writes[k].offset - base)], writes[k].bytes, writes[k].length);
        rc = write_full_at(fd, base, run.data(), run.size());
        if (rc != 0)
            return rc;
        i = j;
    }
    return 0;
}
