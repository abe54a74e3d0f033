#include "iso/udf.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "iso/byte_order.h"
#include "iso/geometry.h"
#include "iso/udf_tag.h"

namespace {

// Bounds on what the image's contents can make the reader do.
constexpr uint32_t SEQUENCE_MAX_SECTORS = 64;     // descriptors read from one sequence
constexpr int POINTER_HOPS = 8;                   // sequences continued by pointers
constexpr unsigned DEPTH_LIMIT = 64;              // directory levels
constexpr uint32_t ALLOCATION_HOPS = 4096;        // allocation extents of one file
constexpr uint64_t DIRECTORY_LIMIT = 64u << 20;   // bytes of one directory
constexpr uint32_t VRS_SEARCH = 16;               // sectors searched for BEA01/NSR0x

// Fields (ECMA-167 3/10 and 4/14).
constexpr uint32_t AVDP_MAIN = 16, AVDP_RESERVE = 24;             // extent_ad: length, location
constexpr uint32_t VDP_NEXT = 20;                                 // extent_ad
constexpr uint32_t PD_NUMBER = 22, PD_HEADER = 56, PD_START = 188, PD_LENGTH = 192;
constexpr uint32_t LVD_BLOCK_SIZE = 212, LVD_FILE_SET = 248, LVD_MAP_COUNT = 268, LVD_INTEGRITY = 432,
                   LVD_MAPS = 440;
constexpr uint32_t USD_COUNT = 20, USD_EXTENTS = 24;
constexpr uint32_t LVID_NEXT = 32, LVID_PARTITIONS = 72, LVID_TABLES = 80;
constexpr uint32_t FSD_ROOT = 400, FSD_NEXT = 448, FSD_STREAMS = 464;
constexpr uint32_t ICB_STRATEGY = 20, ICB_FILE_TYPE = 27, ICB_FLAGS = 34;
constexpr uint32_t FE_INFO_LENGTH = 56;
constexpr uint32_t FE_EA_ICB = 112, FE_EA_LENGTH = 168, FE_AD_LENGTH = 172, FE_BASE = 176;
constexpr uint32_t EFE_EA_ICB = 136, EFE_STREAM_ICB = 152, EFE_EA_LENGTH = 208, EFE_AD_LENGTH = 212, EFE_BASE = 216;
constexpr uint32_t AED_LENGTH = 20, AED_BASE = 24;
constexpr uint32_t FID_CHARACTERISTICS = 18, FID_NAME_LENGTH = 19, FID_ICB = 20, FID_IU_LENGTH = 36, FID_FIXED = 38;
// long_ad (4/14.14.2): length, then lb_addr (block, partition reference).
constexpr uint32_t LONG_AD_BLOCK = 4, LONG_AD_PARTITION = 8;
// File types and characteristics (4/14.6.6, 4/14.4.3).
constexpr uint8_t TYPE_DIRECTORY = 4;
constexpr uint8_t FID_IS_DIRECTORY = 0x02, FID_DELETED = 0x04, FID_PARENT = 0x08;
// Allocation descriptor types (4/14.6.8) and extent types (4/14.14.1.1).
constexpr uint16_t AD_SHORT = 0, AD_LONG = 1, AD_EXTENDED = 2, AD_EMBEDDED = 3;
constexpr uint32_t EXTENT_NOT_ALLOCATED = 2, EXTENT_NEXT = 3;
// The strategy every supported file entry uses (4/A.4).
constexpr uint16_t STRATEGY_4 = 4;

// A run of a directory's bytes: where it lies in the image and which structure holds it.
struct Segment {
    uint64_t data;    // offset in the directory's bytes
    uint64_t image;   // byte of the image
    uint64_t length;
    int extent;       // the structure whose sectors hold it
};

// What reading the UDF side remembers.
struct Udf_Reader {
    Map_Builder& b;
    uint32_t partition_start = 0;
    uint32_t partition_length = 0;
    bool have_partition = false;
    int partition_number = -1;
    uint32_t file_set_block = 0;
    bool have_file_set = false;
    std::vector<std::pair<uint32_t, Pointer_Field>> to_entries;  // fields naming file entries
};

// Reads whole sectors into buffer.
bool read_sectors(Udf_Reader& r, uint32_t lba, uint32_t sectors, std::vector<uint8_t>& buffer, const char* what,
                  std::string& error)
{
    buffer.resize(static_cast<size_t>(sectors) * SECTOR_BYTES);
    return read_image(r.b.image, sector_offset(lba), buffer.data(), buffer.size(), what, error);
}

// Checks a tag, naming the descriptor and its sector in the reason.
bool sound(const uint8_t* d, size_t available, std::initializer_list<uint16_t> ids, uint32_t location,
           const std::string& what, uint64_t at, std::string& error)
{
    uint16_t list[8] = {};
    size_t n = 0;
    for (uint16_t id : ids)
        list[n++] = id;
    std::string why;
    if (tag_sound(d, available, list, location, why))
        return true;
    error = "the UDF " + what + " at sector " + std::to_string(at / SECTOR_BYTES) + " " + why;
    return false;
}

// Records a descriptor whose tag must be written again when it changes.
void add_unit(Udf_Reader& r, uint64_t offset, const uint8_t* d)
{
    r.b.map.tag_units.push_back({offset, tagged_length(d)});
}

// A field of the given form.
Pointer_Field field(uint64_t offset, Field_Form form, uint32_t delta = 0, uint32_t base = 0)
{
    return Pointer_Field{offset, form, delta, base};
}

// A field counted from the partition's start.
Pointer_Field relative(const Udf_Reader& r, uint64_t offset, uint32_t delta = 0)
{
    return field(offset, Field_Form::Udf_Rel32, delta, r.partition_start);
}

// Checks that blocks from block on, bytes long, lie inside the partition.
bool inside_partition(const Udf_Reader& r, uint32_t block, uint64_t bytes, const std::string& what, std::string& error)
{
    if (uint64_t(block) + sectors_for(bytes) <= r.partition_length)
        return true;
    error = "the UDF " + what + " at block " + std::to_string(block) + " runs past the end of its partition";
    return false;
}

// An OSTA compressed unicode name (UDF 2.1.1) in letters that messages can show.
std::string osta_name(const uint8_t* p, size_t n)
{
    std::string out;
    if (n == 0)
        return out;
    if (p[0] == 16) {
        for (size_t i = 1; i + 1 < n; i += 2)
            out += p[i] == 0 && p[i + 1] >= 0x20 && p[i + 1] < 0x7F ? static_cast<char>(p[i + 1]) : '?';
    } else {
        out.assign(reinterpret_cast<const char*>(p + 1), n - 1);
    }
    return out;
}

// A partition's description: its start and length fields and, in its header, the space
// tables that name blocks of it.
bool read_partition(Udf_Reader& r, const uint8_t* d, uint64_t at, std::string& error)
{
    const int number = read_le16(d + PD_NUMBER);
    const uint32_t start = read_le32(d + PD_START), length = read_le32(d + PD_LENGTH);
    if (r.have_partition && number != r.partition_number) {
        error = "the UDF volume has more than one partition, which vintrel cannot move";
        return false;
    }
    if (r.have_partition && (start != r.partition_start || length != r.partition_length)) {
        error = "the UDF partition descriptors of the two sequences disagree";
        return false;
    }
    if (uint64_t(start) + length > r.b.image.length / SECTOR_BYTES + 1) {
        error = "the UDF partition at sector " + std::to_string(start) + " runs past the end of the image";
        return false;
    }
    r.have_partition = true;
    r.partition_number = number;
    r.partition_start = start;
    r.partition_length = length;
    r.b.map.udf.start_fields.push_back(at + PD_START);
    r.b.map.udf.length_fields.push_back(at + PD_LENGTH);
    // The partition header (4/14.3): five short_ads of space tables and bitmaps.
    for (uint32_t i = 0; i < 5; ++i) {
        const uint8_t* ad = d + PD_HEADER + 8 * i;
        const uint32_t bytes = read_le32(ad) & 0x3FFFFFFF;
        if (bytes == 0)
            continue;
        const uint32_t block = read_le32(ad + 4);
        if (!inside_partition(r, block, bytes, "partition space table", error))
            return false;
        const int e = add_extent(r.b, Extent_Kind::Udf_Space, start + block, bytes, "UDF partition space table");
        add_pointer(r.b, e, relative(r, at + PD_HEADER + 8 * i + 4));
    }
    return true;
}

// The logical volume descriptor: its block size, its one partition map, the file set's
// place and the integrity sequence.
bool read_logical_volume(Udf_Reader& r, const uint8_t* d, uint64_t at, std::vector<Pointer_Field>& file_set_fields,
                         std::string& error)
{
    if (read_le32(d + LVD_BLOCK_SIZE) != SECTOR_BYTES) {
        error = "the UDF logical volume has blocks of " + std::to_string(read_le32(d + LVD_BLOCK_SIZE)) +
                " bytes, not 2048";
        return false;
    }
    const uint32_t maps = read_le32(d + LVD_MAP_COUNT);
    if (maps != 1) {
        error = "the UDF logical volume has " + std::to_string(maps) + " partition maps; vintrel moves one";
        return false;
    }
    const uint8_t* map = d + LVD_MAPS;
    if (map[0] != 1) {
        // Type 2 maps name the partition's kind in an identifier (UDF 2.2.8 to 2.2.10).
        const std::string kind(reinterpret_cast<const char*>(map + 5),
                               strnlen(reinterpret_cast<const char*>(map + 5), 23));
        error = "the UDF logical volume uses a " + (kind.empty() ? std::string("type 2") : kind) +
                " partition map, which vintrel cannot move";
        return false;
    }
    if (read_le16(d + LVD_FILE_SET + LONG_AD_PARTITION) != 0) {
        error = "the UDF file set lies in an unknown partition";
        return false;
    }
    r.file_set_block = read_le32(d + LVD_FILE_SET + LONG_AD_BLOCK);
    r.have_file_set = true;
    file_set_fields.push_back(field(at + LVD_FILE_SET + LONG_AD_BLOCK, Field_Form::Udf_Rel32));
    const uint32_t integrity_bytes = read_le32(d + LVD_INTEGRITY);
    if (integrity_bytes != 0) {
        const int e = add_extent(r.b, Extent_Kind::Udf_Integrity, read_le32(d + LVD_INTEGRITY + 4), integrity_bytes,
                                 "UDF integrity sequence");
        add_pointer(r.b, e, field(at + LVD_INTEGRITY + 4, Field_Form::Le32));
    }
    return true;
}

// The unallocated space descriptor's extents (3/10.8).
void read_unallocated(Udf_Reader& r, const uint8_t* d, uint64_t at)
{
    const uint32_t count = std::min<uint32_t>(read_le32(d + USD_COUNT), (SECTOR_BYTES - USD_EXTENTS) / 8);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* ad = d + USD_EXTENTS + 8 * i;
        if (read_le32(ad) == 0)
            continue;
        const int e = add_extent(r.b, Extent_Kind::Udf_Space, read_le32(ad + 4), read_le32(ad), "UDF unallocated space");
        add_pointer(r.b, e, field(at + USD_EXTENTS + 8 * i + 4, Field_Form::Le32));
    }
}

// Reads a volume descriptor sequence from the extent at lba, continued by pointers.
bool read_sequence(Udf_Reader& r, uint32_t lba, uint32_t bytes, const std::string& name,
                   std::vector<Pointer_Field>& file_set_fields, std::string& error)
{
    std::vector<uint8_t> s;
    for (int hop = 0; hop < POINTER_HOPS; ++hop) {
        const uint32_t sectors = std::min<uint32_t>(static_cast<uint32_t>(sectors_for(bytes)), SEQUENCE_MAX_SECTORS);
        const int seq = add_extent(r.b, Extent_Kind::Udf_Sequence, lba, bytes, "UDF " + name + " volume descriptor sequence");
        if (!read_sectors(r, lba, sectors, s, "a UDF volume descriptor sequence", error))
            return false;
        bool next = false;
        for (uint32_t i = 0; i < sectors && !next; ++i) {
            const uint8_t* d = &s[i * SECTOR_BYTES];
            const uint64_t at = sector_offset(lba + i);
            if (!sound(d, SECTOR_BYTES,
                       {TAG_PRIMARY, TAG_POINTER, TAG_IMPLEMENTATION_USE, TAG_PARTITION, TAG_LOGICAL_VOLUME,
                        TAG_UNALLOCATED_SPACE, TAG_TERMINATING},
                       lba + i, "volume descriptor", at, error))
                return false;
            add_unit(r, at, d);
            add_pointer(r.b, seq, field(at + TAG_LOCATION, Field_Form::Le32, i));
            switch (tag_identifier(d)) {
            case TAG_TERMINATING:
                return true;
            case TAG_POINTER: {
                bytes = read_le32(d + VDP_NEXT);
                lba = read_le32(d + VDP_NEXT + 4);
                const int e = add_extent(r.b, Extent_Kind::Udf_Sequence, lba, bytes,
                                         "UDF " + name + " volume descriptor sequence");
                add_pointer(r.b, e, field(at + VDP_NEXT + 4, Field_Form::Le32));
                next = true;
                break;
            }
            case TAG_PARTITION:
                if (!read_partition(r, d, at, error))
                    return false;
                break;
            case TAG_LOGICAL_VOLUME:
                if (!read_logical_volume(r, d, at, file_set_fields, error))
                    return false;
                break;
            case TAG_UNALLOCATED_SPACE:
                read_unallocated(r, d, at);
                break;
            default:
                break;
            }
        }
        if (!next)
            return true;
    }
    error = "the UDF " + name + " volume descriptor sequence goes on past " + std::to_string(POINTER_HOPS) + " pointers";
    return false;
}

// The integrity sequence (3/10.10): its descriptors and the partition's size in its table.
bool read_integrity(Udf_Reader& r, uint32_t lba, uint32_t bytes, std::string& error)
{
    std::vector<uint8_t> s;
    for (int hop = 0; hop < POINTER_HOPS && bytes != 0; ++hop) {
        const int seq = add_extent(r.b, Extent_Kind::Udf_Integrity, lba, bytes, "UDF integrity sequence");
        const uint32_t sectors = std::min<uint32_t>(static_cast<uint32_t>(sectors_for(bytes)), SEQUENCE_MAX_SECTORS);
        if (!read_sectors(r, lba, sectors, s, "the UDF integrity sequence", error))
            return false;
        uint32_t next_bytes = 0, next_lba = 0;
        for (uint32_t i = 0; i < sectors; ++i) {
            const uint8_t* d = &s[i * SECTOR_BYTES];
            const uint64_t at = sector_offset(lba + i);
            // An integrity sequence may end in unrecorded sectors.
            if (tag_identifier(d) == 0)
                break;
            if (!sound(d, SECTOR_BYTES, {TAG_INTEGRITY, TAG_TERMINATING}, lba + i, "integrity descriptor", at, error))
                return false;
            add_unit(r, at, d);
            add_pointer(r.b, seq, field(at + TAG_LOCATION, Field_Form::Le32, i));
            if (tag_identifier(d) == TAG_TERMINATING)
                break;
            const uint32_t partitions = read_le32(d + LVID_PARTITIONS);
            if (partitions != 1 || LVID_TABLES + 8 > tagged_length(d)) {
                error = "the UDF integrity descriptor at sector " + std::to_string(lba + i) + " does not describe one partition";
                return false;
            }
            // Free space table, then size table, one entry each.
            r.b.map.udf.length_fields.push_back(at + LVID_TABLES + 4);
            next_bytes = read_le32(d + LVID_NEXT);
            next_lba = read_le32(d + LVID_NEXT + 4);
            if (next_bytes != 0) {
                const int e = add_extent(r.b, Extent_Kind::Udf_Integrity, next_lba, next_bytes, "UDF integrity sequence");
                add_pointer(r.b, e, field(at + LVID_NEXT + 4, Field_Form::Le32));
            }
        }
        lba = next_lba;
        bytes = next_bytes;
    }
    return true;
}

// Reads the anchor at sector; gives false (and no error) when there is none there.
bool read_anchor(Udf_Reader& r, uint32_t sector, Udf_Anchor& anchor, std::string& error)
{
    uint8_t d[SECTOR_BYTES];
    if (!read_image(r.b.image, sector_offset(sector), d, sizeof d, "a UDF anchor", error))
        return false;
    std::string why;
    const uint16_t ids[] = {TAG_ANCHOR, 0};
    if (!tag_sound(d, sizeof d, ids, sector, why)) {
        error = "the UDF anchor at sector " + std::to_string(sector) + " " + why;
        return false;
    }
    anchor = {sector, read_le32(d + AVDP_MAIN + 4), read_le32(d + AVDP_MAIN), read_le32(d + AVDP_RESERVE + 4),
              read_le32(d + AVDP_RESERVE)};
    add_unit(r, sector_offset(sector), d);
    return true;
}

// One file entry being read, and what it found.
struct Entry_Walk {
    Udf_Reader& r;
    unsigned depth;
    std::string path;
    bool directory;
    bool root;
    int first_data;  // the structure of its first data extent, or -1
};

bool walk_entry(Udf_Reader& r, uint32_t block, const Pointer_Field& named_by, const std::string& path, unsigned depth,
                bool root, int& first_data, std::string& error);

// Reads the file identifiers of a directory from its bytes (4/14.4), walking each entry
// they name.
bool read_identifiers(Entry_Walk& w, const std::vector<uint8_t>& data, const std::vector<Segment>& segments,
                      std::string& error)
{
    Udf_Reader& r = w.r;
    size_t pos = 0;
    // Each identifier takes at least FID_FIXED bytes, so the loop ends with the data.
    while (pos + FID_FIXED <= data.size()) {
        const Segment* seg = nullptr;
        for (const Segment& s : segments)
            if (pos >= s.data && pos < s.data + s.length)
                seg = &s;
        const uint8_t* d = &data[pos];
        const size_t length = (FID_FIXED + read_le16(d + FID_IU_LENGTH) + d[FID_NAME_LENGTH] + 3) & ~size_t(3);
        if (seg == nullptr || pos + length > seg->data + seg->length) {
            error = "a UDF file identifier of " + w.path + " crosses the end of its extent";
            return false;
        }
        const uint64_t at = seg->image + (pos - seg->data);
        const uint32_t block = static_cast<uint32_t>(at / SECTOR_BYTES - r.partition_start);
        if (!sound(d, data.size() - pos, {TAG_FILE_IDENTIFIER}, block, "file identifier", at, error))
            return false;
        add_unit(r, at, d);
        const Map_Extent& holder = r.b.map.extents[static_cast<size_t>(seg->extent)];
        add_pointer(r.b, seg->extent,
                    relative(r, at + TAG_LOCATION, static_cast<uint32_t>(at / SECTOR_BYTES - holder.lba)));
        const uint8_t characteristics = d[FID_CHARACTERISTICS];
        const uint32_t child = read_le32(d + FID_ICB + LONG_AD_BLOCK);
        const Pointer_Field icb = relative(r, at + FID_ICB + LONG_AD_BLOCK);
        pos += length;
        if ((characteristics & FID_DELETED) != 0 || read_le32(d + FID_ICB) == 0)
            continue;
        if (read_le16(d + FID_ICB + LONG_AD_PARTITION) != 0) {
            error = "a UDF file identifier of " + w.path + " names an unknown partition";
            return false;
        }
        if ((characteristics & FID_PARENT) != 0) {
            r.to_entries.push_back({child, icb});
            continue;
        }
        const std::string name = osta_name(d + FID_FIXED + read_le16(d + FID_IU_LENGTH), d[FID_NAME_LENGTH]);
        const std::string path = w.path.back() == '/' ? w.path + name : w.path + "/" + name;
        int data_extent = -1;
        if (!walk_entry(r, child, icb, path, w.depth + 1, false, data_extent, error))
            return false;
        if (w.root && r.b.map.udf.system_cnf < 0 && (characteristics & FID_IS_DIRECTORY) == 0 &&
            name.find("SYSTEM.CNF") != std::string::npos)
            r.b.map.udf.system_cnf = data_extent;
    }
    return true;
}

// Reads an allocation descriptor list (4/12) of the given type, following allocation
// extents, adding each extent; a directory's recorded bytes are gathered for its identifiers.
bool read_allocations(Entry_Walk& w, const uint8_t* list, uint32_t length, uint64_t at, uint16_t type,
                      std::vector<uint8_t>& dir_data, std::vector<Segment>& segments, uint64_t information,
                      std::string& error)
{
    Udf_Reader& r = w.r;
    const uint32_t size = type == AD_SHORT ? 8 : type == AD_LONG ? 16 : 20;
    const uint32_t block_field = type == AD_SHORT ? 4 : type == AD_LONG ? 4 : 12;
    const uint32_t partition_field = type == AD_LONG ? 8 : 16;
    std::vector<uint8_t> aed(SECTOR_BYTES);
    for (uint32_t hops = 0; hops <= ALLOCATION_HOPS; ++hops) {
        bool continued = false;
        for (uint32_t p = 0; p + size <= length; p += size) {
            const uint8_t* ad = list + p;
            const uint32_t extent_type = read_le32(ad) >> 30, bytes = read_le32(ad) & 0x3FFFFFFF;
            if (bytes == 0)
                break;
            if (extent_type == EXTENT_NOT_ALLOCATED)
                continue;
            if (type != AD_SHORT && read_le16(ad + partition_field) != 0) {
                error = "an allocation of " + w.path + " names an unknown UDF partition";
                return false;
            }
            const uint32_t block = read_le32(ad + block_field);
            const uint32_t lba = r.partition_start + block;
            const Pointer_Field named = relative(r, at + p + block_field);
            if (!inside_partition(r, block, bytes, "extent of " + w.path, error))
                return false;
            if (extent_type == EXTENT_NEXT) {
                // An allocation extent descriptor continues the list (4/14.5).
                if (!read_image(r.b.image, sector_offset(lba), aed.data(), aed.size(), "a UDF allocation extent", error) ||
                    !sound(aed.data(), aed.size(), {TAG_ALLOCATION_EXTENT}, block, "allocation extent", sector_offset(lba), error))
                    return false;
                const int e = add_extent(r.b, Extent_Kind::Udf_Allocation, lba, SECTOR_BYTES, "allocations of " + w.path);
                add_pointer(r.b, e, named);
                add_pointer(r.b, e, relative(r, sector_offset(lba) + TAG_LOCATION));
                add_unit(r, sector_offset(lba), aed.data());
                length = std::min<uint32_t>(read_le32(&aed[AED_LENGTH]), SECTOR_BYTES - AED_BASE);
                list = &aed[AED_BASE];
                at = sector_offset(lba) + AED_BASE;
                continued = true;
                break;
            }
            const Extent_Kind kind = w.directory ? Extent_Kind::Udf_Directory : Extent_Kind::Udf_Data;
            const int e = add_extent(r.b, kind, lba, bytes, w.path, w.directory ? 0 : bytes);
            add_pointer(r.b, e, named);
            if (w.first_data < 0)
                w.first_data = e;
            if (w.directory && extent_type == 0 && dir_data.size() < information) {
                const uint64_t take = std::min<uint64_t>(bytes, information - dir_data.size());
                if (dir_data.size() + take > DIRECTORY_LIMIT) {
                    error = "the UDF directory " + w.path + " is too large";
                    return false;
                }
                segments.push_back({dir_data.size(), sector_offset(lba), take, e});
                const size_t from = dir_data.size();
                dir_data.resize(from + take);
                if (!read_image(r.b.image, sector_offset(lba), &dir_data[from], take, "a UDF directory", error))
                    return false;
            }
        }
        if (!continued)
            return true;
    }
    error = "the allocations of " + w.path + " go on past " + std::to_string(ALLOCATION_HOPS) + " extents";
    return false;
}

bool walk_entry(Udf_Reader& r, uint32_t block, const Pointer_Field& named_by, const std::string& path, unsigned depth,
                bool root, int& first_data, std::string& error)
{
    const uint32_t lba = r.partition_start + block;
    const int known = find_extent(r.b, Extent_Kind::Udf_File_Entry, lba);
    if (known >= 0) {
        // A second link (or a loop) to an entry already read.
        add_pointer(r.b, known, named_by);
        return true;
    }
    if (depth >= DEPTH_LIMIT) {
        error = "the UDF directory tree is deeper than " + std::to_string(DEPTH_LIMIT) + " levels";
        return false;
    }
    if (!inside_partition(r, block, SECTOR_BYTES, "file entry of " + path, error))
        return false;
    std::vector<uint8_t> d(SECTOR_BYTES);
    const uint64_t at = sector_offset(lba);
    if (!read_image(r.b.image, at, d.data(), d.size(), "a UDF file entry", error) ||
        !sound(d.data(), d.size(), {TAG_FILE_ENTRY, TAG_EXTENDED_FILE_ENTRY}, block, "file entry of " + path, at, error))
        return false;
    const int e = add_extent(r.b, Extent_Kind::Udf_File_Entry, lba, SECTOR_BYTES, path);
    add_pointer(r.b, e, named_by);
    add_pointer(r.b, e, relative(r, at + TAG_LOCATION));
    add_unit(r, at, d.data());
    if (read_le16(&d[ICB_STRATEGY]) != STRATEGY_4) {
        error = "the UDF file entry of " + path + " uses ICB strategy " + std::to_string(read_le16(&d[ICB_STRATEGY])) +
                ", which vintrel cannot move";
        return false;
    }
    const bool extended = tag_identifier(d.data()) == TAG_EXTENDED_FILE_ENTRY;
    const uint32_t ea = read_le32(&d[extended ? EFE_EA_LENGTH : FE_EA_LENGTH]);
    const uint32_t ad = read_le32(&d[extended ? EFE_AD_LENGTH : FE_AD_LENGTH]);
    const uint32_t base = extended ? EFE_BASE : FE_BASE;
    if (uint64_t(base) + ea + ad > tagged_length(d.data()) || uint64_t(base) + ea + ad > SECTOR_BYTES) {
        error = "the UDF file entry of " + path + " is damaged";
        return false;
    }
    // Extended attributes and (in an extended entry) streams live in entries of their own.
    std::vector<uint32_t> icbs = {extended ? EFE_EA_ICB : FE_EA_ICB};
    if (extended)
        icbs.push_back(EFE_STREAM_ICB);
    for (uint32_t icb : icbs) {
        if (read_le32(&d[icb]) == 0)
            continue;
        int ignored = -1;
        if (!walk_entry(r, read_le32(&d[icb + LONG_AD_BLOCK]), relative(r, at + icb + LONG_AD_BLOCK),
                        path + " (attributes)", depth + 1, false, ignored, error))
            return false;
    }
    Entry_Walk w{r, depth, path, d[ICB_FILE_TYPE] == TYPE_DIRECTORY, root, -1};
    const uint16_t type = read_le16(&d[ICB_FLAGS]) & 7;
    const uint64_t information = read_le64(&d[FE_INFO_LENGTH]);
    std::vector<uint8_t> dir_data;
    std::vector<Segment> segments;
    if (type == AD_EMBEDDED) {
        // The data lie in the entry itself; a directory's identifiers with it.
        if (w.directory) {
            dir_data.assign(d.begin() + base + ea, d.begin() + base + ea + ad);
            segments.push_back({0, at + base + ea, ad, e});
        }
    } else if (type == AD_SHORT || type == AD_LONG || type == AD_EXTENDED) {
        if (!read_allocations(w, &d[base + ea], ad, at + base + ea, type, dir_data, segments, information, error))
            return false;
    } else {
        error = "the UDF file entry of " + path + " has allocation descriptors of an unknown type";
        return false;
    }
    first_data = w.first_data;
    return !w.directory || read_identifiers(w, dir_data, segments, error);
}

// Whether a volume recognition sequence (ECMA-167 2/8.3) follows one of the descriptor sets.
bool recognised(Udf_Reader& r, const std::vector<uint32_t>& set_ends, std::string& error)
{
    uint8_t s[SECTOR_BYTES];
    for (uint32_t end : set_ends) {
        for (uint32_t n = 1; n <= VRS_SEARCH; ++n) {
            const uint64_t off = sector_offset(end + n);
            if (off + SECTOR_BYTES > r.b.image.length)
                break;
            if (!read_image(r.b.image, off, s, sizeof s, "the volume recognition sequence", error))
                return false;
            if (std::memcmp(s + 1, "NSR02", 5) == 0 || std::memcmp(s + 1, "NSR03", 5) == 0)
                return true;
        }
    }
    return false;
}

}  // namespace

bool anchor_place(uint64_t sector, uint64_t image_sectors, uint64_t partition_end)
{
    if (sector == UDF_ANCHOR_SECTOR || sector + 1 == image_sectors || sector + 256 == image_sectors)
        return true;
    // genisoimage also puts one in the partition's last block.
    const uint64_t tail = partition_end > 0 ? partition_end - 1 : 0;
    return sector >= tail && sector < image_sectors && image_sectors - tail <= ANCHOR_TAIL_LIMIT;
}

bool add_udf_volume(Map_Builder& b, const std::vector<uint32_t>& set_ends, std::string& error)
{
    Udf_Reader r{b, 0, 0, false, -1, 0, false, {}};
    const bool vrs = recognised(r, set_ends, error);
    if (!error.empty())
        return false;
    Udf_Anchor first{};
    std::string why;
    if (b.image.length < sector_offset(UDF_ANCHOR_SECTOR + 1) || !read_anchor(r, UDF_ANCHOR_SECTOR, first, why)) {
        if (!vrs)
            return true;  // no UDF at all
        error = why.empty() ? "the UDF volume has no anchor at sector 256" : why;
        return false;
    }
    Udf_Volume& udf = b.map.udf;
    udf.present = true;
    udf.anchors.push_back(first);
    std::vector<Pointer_Field> file_set_fields;
    if (!read_sequence(r, first.main_lba, first.main_length, "main", file_set_fields, error) ||
        (first.reserve_length != 0 &&
         !read_sequence(r, first.reserve_lba, first.reserve_length, "reserve", file_set_fields, error)))
        return false;
    if (!r.have_partition || !r.have_file_set) {
        error = "the UDF volume descriptors name no partition or no file set";
        return false;
    }
    udf.partition_start = r.partition_start;
    udf.partition_length = r.partition_length;
    // Further anchors, where they are sound: at the last sector but 255, and from the end of
    // the partition to the last sector.
    const uint64_t sectors = b.image.length / SECTOR_BYTES;
    const uint64_t partition_end = uint64_t(r.partition_start) + r.partition_length;
    const uint64_t from = std::min<uint64_t>(sectors >= 256 ? sectors - 256 : 0, partition_end > 0 ? partition_end - 1 : 0);
    for (uint64_t at = from; at < sectors; ++at) {
        Udf_Anchor a{};
        if (at > UDF_ANCHOR_SECTOR && anchor_place(at, sectors, partition_end) &&
            read_anchor(r, static_cast<uint32_t>(at), a, why))
            udf.anchors.push_back(a);
    }
    std::vector<std::pair<uint32_t, uint32_t>> integrity;
    for (const Map_Extent& e : b.map.extents)
        if (e.kind == Extent_Kind::Udf_Integrity)
            integrity.push_back({e.lba, static_cast<uint32_t>(e.bytes)});
    for (const auto& [lba, bytes] : integrity)
        if (!read_integrity(r, lba, bytes, error))
            return false;

    // The file set descriptor (4/14.1), and the terminator that may follow it.
    const uint32_t fsd = r.file_set_block;
    if (!inside_partition(r, fsd, SECTOR_BYTES, "file set descriptor", error))
        return false;
    std::vector<uint8_t> d;
    if (!read_sectors(r, r.partition_start + fsd, 1, d, "the UDF file set descriptor", error) ||
        !sound(d.data(), d.size(), {TAG_FILE_SET}, fsd, "file set descriptor", sector_offset(r.partition_start + fsd), error))
        return false;
    const uint64_t at = sector_offset(r.partition_start + fsd);
    uint8_t after[SECTOR_BYTES];
    std::string ignored;
    const uint16_t terminator[] = {TAG_TERMINATING, 0};
    const bool terminated = fsd + 1 < r.partition_length &&
                            read_image(b.image, at + SECTOR_BYTES, after, sizeof after, "", ignored) &&
                            tag_sound(after, sizeof after, terminator, fsd + 1, ignored);
    const int set = add_extent(b, Extent_Kind::Udf_File_Set, r.partition_start + fsd,
                               terminated ? 2 * SECTOR_BYTES : SECTOR_BYTES, "UDF file set descriptor");
    for (Pointer_Field f : file_set_fields) {
        f.base = r.partition_start;
        add_pointer(b, set, f);
    }
    add_pointer(b, set, relative(r, at + TAG_LOCATION));
    add_unit(r, at, d.data());
    if (terminated) {
        add_pointer(b, set, relative(r, at + SECTOR_BYTES + TAG_LOCATION, 1));
        add_unit(r, at + SECTOR_BYTES, after);
    }
    if (read_le32(&d[FSD_NEXT]) != 0) {
        error = "the UDF file set descriptor sequence goes on, which vintrel cannot follow";
        return false;
    }
    for (uint32_t icb : {FSD_ROOT, FSD_STREAMS}) {
        if (read_le32(&d[icb]) == 0)
            continue;
        if (read_le16(&d[icb + LONG_AD_PARTITION]) != 0) {
            error = "the UDF root directory lies in an unknown partition";
            return false;
        }
        int first_data = -1;
        if (!walk_entry(r, read_le32(&d[icb + LONG_AD_BLOCK]), relative(r, at + icb + LONG_AD_BLOCK),
                        icb == FSD_ROOT ? "[UDF] /" : "[UDF] streams", 0, icb == FSD_ROOT, first_data, error))
            return false;
    }
    // Identifiers of parents name entries that are all read by now.
    for (const auto& [block, named] : r.to_entries) {
        const int e = find_extent(b, Extent_Kind::Udf_File_Entry, r.partition_start + block);
        if (e < 0) {
            error = "a UDF parent link names block " + std::to_string(block) + ", where no file entry was read";
            return false;
        }
        add_pointer(b, e, named);
    }
    return true;
}
