#include "iso/map_builder.h"

#include <algorithm>

#include "iso/geometry.h"

int add_extent(Map_Builder& b, Extent_Kind kind, uint32_t lba, uint64_t bytes, const std::string& path,
               uint64_t key_bytes)
{
    const auto key = std::make_tuple(kind, lba, key_bytes);
    auto it = b.index.find(key);
    const uint32_t sectors = static_cast<uint32_t>(std::min<uint64_t>(sectors_for(bytes), UINT32_MAX));
    if (it != b.index.end()) {
        Map_Extent& e = b.map.extents[static_cast<size_t>(it->second)];
        if (sectors > e.sectors) {
            e.sectors = sectors;
            e.bytes = bytes;
        }
        return it->second;
    }
    b.map.extents.push_back({kind, lba, sectors, bytes, path, {}});
    const int i = static_cast<int>(b.map.extents.size() - 1);
    b.index.emplace(key, i);
    return i;
}

int find_extent(const Map_Builder& b, Extent_Kind kind, uint32_t lba, uint64_t key_bytes)
{
    auto it = b.index.find(std::make_tuple(kind, lba, key_bytes));
    return it == b.index.end() ? -1 : it->second;
}

void add_pointer(Map_Builder& b, int i, const Pointer_Field& field)
{
    if (b.fields.insert(field.offset).second)
        b.map.extents[static_cast<size_t>(i)].pointers.push_back(field);
}
