#include "iso/volume_map.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "iso/byte_order.h"
#include "iso/descriptors.h"
#include "iso/el_torito.h"
#include "iso/geometry.h"
#include "iso/map_builder.h"
#include "iso/record.h"
#include "iso/susp.h"
#include "iso/udf.h"
#include "iso/walker.h"

namespace {

// Largest path table read; a disc with tens of thousands of directories stays far below.
constexpr uint32_t PATH_TABLE_LIMIT = 16u << 20;
// The name that marks the file the patch moves.
constexpr const char* SYSTEM_CNF = "SYSTEM.CNF";

// The map being built and what the walks of the hierarchies need to remember.
struct Builder : Map_Builder {
    std::vector<std::pair<uint32_t, Pointer_Field>> to_directories;  // resolved at the end
    std::map<uint32_t, std::string> directory_paths;
    std::set<uint32_t> walked;
};

// A field of the given form at offset.
Pointer_Field field(uint64_t offset, Field_Form form)
{
    return Pointer_Field{offset, form, 0, 0};
}

// A name as it may be shown: UCS-2 identifiers of Joliet turned into their ASCII letters.
std::string shown_name(const std::string& raw, bool joliet)
{
    if (!joliet)
        return raw;
    std::string out;
    for (size_t i = 0; i + 1 < raw.size(); i += 2) {
        const unsigned char hi = static_cast<unsigned char>(raw[i]);
        const unsigned char lo = static_cast<unsigned char>(raw[i + 1]);
        out += hi == 0 && lo >= 0x20 && lo < 0x7F ? static_cast<char>(lo) : '?';
    }
    return out;
}

// The path of a record's name inside the directory at lba.
std::string child_path(Builder& b, uint32_t directory, const std::string& name)
{
    const std::string& parent = b.directory_paths[directory];
    return parent.back() == '/' ? parent + name : parent + "/" + name;
}

// One hierarchy's walk: what its records add to the map.
struct Tree_Walk {
    Builder& b;
    uint32_t root;
    bool joliet;
    bool primary;   // the primary hierarchy: SYSTEM.CNF and Rock Ridge live here
    int susp_skip;  // bytes each system use area skips, or -1 when SUSP is not in use
};

bool add_susp_links(Tree_Walk& t, const Walk_Record& r, std::string& error)
{
    const uint32_t su = system_use_offset(r.record);
    if (su >= r.record.Length)
        return true;
    const uint8_t* area = r.bytes + su;
    const size_t length = r.record.Length - su;
    if (r.first && r.directory == t.root && t.primary) {
        t.susp_skip = susp_skip_from(area, length);
        if (t.susp_skip < 0)
            return true;
    }
    if (t.susp_skip < 0)
        return true;
    Susp_Links links;
    const size_t skip = r.first && r.directory == t.root ? 0 : static_cast<size_t>(t.susp_skip);
    if (!scan_system_use(t.b.image, area, length, r.offset + su, skip, links, error))
        return false;
    for (const Susp_Continuation& c : links.continuations) {
        const int i = add_extent(t.b, Extent_Kind::Continuation_Area, c.field.lba,
                             static_cast<uint64_t>(c.offset) + c.length,
                             "Rock Ridge continuation area of " + child_path(t.b, r.directory, r.name));
        add_pointer(t.b, i, field(c.field.offset, Field_Form::Both32));
    }
    for (const Susp_Field& f : links.child_links)
        t.b.to_directories.push_back({f.lba, field(f.offset, Field_Form::Both32)});
    for (const Susp_Field& f : links.parent_links)
        t.b.to_directories.push_back({f.lba, field(f.offset, Field_Form::Both32)});
    return true;
}

// The walk's action: each record names a directory or a file section.
bool add_record(Tree_Walk& t, const Walk_Record& r, std::string& error)
{
    Builder& b = t.b;
    const uint32_t lba = record_lba(r.record);
    const uint64_t at = r.offset + RECORD_LBA;
    const std::string name = shown_name(r.name, t.joliet);
    if (record_is_self_or_parent(r.record, r.name)) {
        b.to_directories.push_back({lba, field(at, Field_Form::Both32)});
    } else if (record_is_directory(r.record)) {
        const std::string path = child_path(b, r.directory, name);
        add_extent(b, Extent_Kind::Directory, lba, record_size(r.record), path);
        b.directory_paths.emplace(lba, path);
        b.to_directories.push_back({lba, field(at, Field_Form::Both32)});
    } else {
        const uint64_t size = record_size(r.record);
        const int i = add_extent(b, Extent_Kind::File, lba, size, child_path(b, r.directory, name), size);
        add_pointer(b, i, field(at, Field_Form::Both32));
        if (t.primary && r.directory == t.root && b.map.system_cnf < 0 &&
            r.name.find(SYSTEM_CNF) != std::string::npos)
            b.map.system_cnf = i;
    }
    return add_susp_links(t, r, error);
}

// Adds a path table's entries (ECMA-119 9.4) as fields naming directories.
bool add_path_table_entries(Builder& b, uint32_t lba, uint32_t size, bool m, std::string& error)
{
    if (size > PATH_TABLE_LIMIT) {
        error = "path table of " + std::to_string(size) + " bytes is too large";
        return false;
    }
    std::vector<uint8_t> table(size);
    if (!read_image(b.image, sector_offset(lba), table.data(), table.size(), "a path table", error))
        return false;
    // Entries: identifier length, extended attribute length, extent, parent number,
    // identifier, a pad byte after an odd identifier. Each turn moves on by at least 8 bytes.
    for (size_t pos = 0; pos + 8 <= table.size();) {
        const uint8_t id_length = table[pos];
        if (id_length == 0)
            break;
        const uint32_t extent_lba = m ? read_be32(&table[pos + 2]) : read_le32(&table[pos + 2]);
        b.to_directories.push_back(
            {extent_lba, field(sector_offset(lba) + pos + 2, m ? Field_Form::Be32 : Field_Form::Le32)});
        pos += 8 + id_length + (id_length % 2);
    }
    return true;
}

// The label that tells a hierarchy's paths apart from the primary one's.
std::string tree_label(const Volume_Descriptor& v, bool primary_root)
{
    if (primary_root)
        return "/";
    if (v.joliet)
        return "[Joliet] /";
    return "[descriptor at sector " + std::to_string(v.sector) + "] /";
}

// Adds one primary or supplementary descriptor: its path tables, its root and its tree.
bool add_hierarchy(Builder& b, const Volume_Descriptor& v, std::string& error)
{
    const uint64_t at = sector_offset(v.sector);
    b.map.descriptors.push_back({v.sector, v.volume_space});
    const bool primary_root = v.root_lba == b.map.root_lba;
    const std::string label = tree_label(v, primary_root);
    for (int slot = 0; slot < 4; ++slot) {
        const uint32_t table = v.path_tables[slot];
        if (table == 0 || v.path_table_size == 0)
            continue;
        const bool m = path_table_is_m(slot);
        const bool new_table = find_extent(b, Extent_Kind::Path_Table, table) < 0;
        const int i = add_extent(b, Extent_Kind::Path_Table, table, v.path_table_size,
                             std::string(m ? "type M" : "type L") + " path table of " + label);
        add_pointer(b, i, field(at + path_table_field(slot), m ? Field_Form::Be32 : Field_Form::Le32));
        b.map.fixed_last = static_cast<uint32_t>(std::min<uint64_t>(
            UINT32_MAX, std::max<uint64_t>(b.map.fixed_last, uint64_t(table) + b.map.extents[i].sectors - 1)));
        if (new_table && !add_path_table_entries(b, table, v.path_table_size, m, error))
            return false;
    }
    const int root = add_extent(b, Extent_Kind::Directory, v.root_lba, v.root_size, label);
    const uint32_t root_sectors = std::max<uint32_t>(1, b.map.extents[static_cast<size_t>(root)].sectors);
    b.map.fixed_last = static_cast<uint32_t>(
        std::min<uint64_t>(UINT32_MAX, std::max<uint64_t>(b.map.fixed_last, uint64_t(v.root_lba) + root_sectors - 1)));
    b.directory_paths.emplace(v.root_lba, label);
    b.to_directories.push_back({v.root_lba, field(at + VD_ROOT_RECORD + RECORD_LBA, Field_Form::Both32)});
    if (b.walked.count(v.root_lba) != 0)
        return true;
    Tree_Walk t{b, v.root_lba, v.joliet, primary_root, -1};
    Record_Action action = [&t](const Walk_Record& r, std::string& why) { return add_record(t, r, why); };
    return walk_directory_tree(b.image, v.root_lba, v.root_size, action, b.walked, error);
}

// Adds the El Torito catalog of a boot record and the boot images it names.
bool add_boot_catalog(Builder& b, const Volume_Descriptor& v, std::string& error)
{
    Boot_Catalog catalog;
    if (!read_boot_catalog(b.image, v.boot_catalog, catalog, error))
        return false;
    const int c = add_extent(b, Extent_Kind::Boot_Catalog, v.boot_catalog,
                         sector_offset(catalog.sectors), "El Torito boot catalog");
    add_pointer(b, c, field(sector_offset(v.sector) + VD_BOOT_CATALOG, Field_Form::Le32));
    for (size_t n = 0; n < catalog.images.size(); ++n) {
        const Boot_Image& image = catalog.images[n];
        const int i = add_extent(b, Extent_Kind::Boot_Image, image.lba, sector_offset(image.sectors),
                             "El Torito boot image " + std::to_string(n + 1));
        add_pointer(b, i, field(image.field, Field_Form::Le32));
        if (image.info_field != 0)
            add_pointer(b, i, field(image.info_field, Field_Form::Le32));
    }
    return true;
}

// The isohybrid boot loader in the MBR names the first boot image in 512-byte sectors.
bool add_hybrid_boot_field(Builder& b, std::string& error)
{
    if (b.map.partitions.empty())
        return true;
    uint8_t bytes[4];
    if (!read_image(b.image, MBR_BOOT_IMAGE_FIELD, bytes, sizeof bytes, "the system area", error))
        return false;
    const uint64_t named = read_le32(bytes);
    for (size_t i = 0; i < b.map.extents.size(); ++i) {
        const Map_Extent& e = b.map.extents[i];
        if (e.kind == Extent_Kind::Boot_Image && named != 0 && named == uint64_t(e.lba) * 4) {
            add_pointer(b, static_cast<int>(i), field(MBR_BOOT_IMAGE_FIELD, Field_Form::Le32_512));
            break;
        }
    }
    return true;
}

// Attaches the fields that name directories, now that every walk is done.
void resolve_directory_fields(Builder& b)
{
    for (const auto& [lba, named] : b.to_directories) {
        const int found = find_extent(b, Extent_Kind::Directory, lba);
        const int i = found >= 0 ? found : add_extent(b, Extent_Kind::Named_Sector, lba, 0, "sector named by a link");
        add_pointer(b, i, named);
    }
    b.to_directories.clear();
}

// Whether structures of the kind hold fields that name sectors (file data does not, but for a
// boot image's information table).
bool holds_fields(Extent_Kind kind)
{
    switch (kind) {
    case Extent_Kind::File:
    case Extent_Kind::Named_Sector:
    case Extent_Kind::Udf_Space:
    case Extent_Kind::Udf_Data:
        return false;
    default:
        return true;
    }
}

// Two structures that hold fields may not share a sector: their bytes would be read as fields
// of both, and moving the one would damage the other.
bool check_overlaps(const Volume_Map& map, std::string& error)
{
    std::vector<const Map_Extent*> held;
    for (const Map_Extent& e : map.extents)
        if (holds_fields(e.kind) && e.sectors > 0)
            held.push_back(&e);
    std::sort(held.begin(), held.end(), [](const Map_Extent* a, const Map_Extent* b) { return a->lba < b->lba; });
    const Map_Extent* reach = nullptr;  // the structure reaching furthest so far
    for (const Map_Extent* e : held) {
        if (reach != nullptr && e->lba < uint64_t(reach->lba) + reach->sectors) {
            error = describe(*reach) + " at sector " + std::to_string(reach->lba) + " and " + describe(*e) +
                    " at sector " + std::to_string(e->lba) + " overlap";
            return false;
        }
        if (reach == nullptr || uint64_t(e->lba) + e->sectors > uint64_t(reach->lba) + reach->sectors)
            reach = e;
    }
    return true;
}

}  // namespace

const char* kind_name(Extent_Kind kind)
{
    switch (kind) {
    case Extent_Kind::Path_Table: return "path table";
    case Extent_Kind::Directory: return "directory";
    case Extent_Kind::File: return "file";
    case Extent_Kind::Continuation_Area: return "continuation area";
    case Extent_Kind::Boot_Catalog: return "boot catalog";
    case Extent_Kind::Boot_Image: return "boot image";
    case Extent_Kind::Named_Sector: return "sector";
    case Extent_Kind::Udf_Sequence: return "UDF volume descriptor sequence";
    case Extent_Kind::Udf_Integrity: return "UDF integrity sequence";
    case Extent_Kind::Udf_Space: return "UDF space table";
    case Extent_Kind::Udf_File_Set: return "UDF file set descriptor";
    case Extent_Kind::Udf_File_Entry: return "UDF file entry";
    case Extent_Kind::Udf_Allocation: return "UDF allocation extent";
    case Extent_Kind::Udf_Directory: return "UDF directory";
    case Extent_Kind::Udf_Data: return "UDF data";
    }
    return "structure";
}

std::string describe(const Map_Extent& extent)
{
    switch (extent.kind) {
    case Extent_Kind::File:
    case Extent_Kind::Directory:
        return std::string("the ") + kind_name(extent.kind) + " " + extent.path;
    case Extent_Kind::Named_Sector:
        return "the " + extent.path + " (sector " + std::to_string(extent.lba) + ")";
    case Extent_Kind::Udf_File_Entry:
    case Extent_Kind::Udf_Allocation:
    case Extent_Kind::Udf_Directory:
    case Extent_Kind::Udf_Data:
        return std::string("the ") + kind_name(extent.kind) + " of " + extent.path;
    default:
        return "the " + extent.path;
    }
}

bool build_volume_map(const Image_File& image, const char* name, Volume_Map& map, std::string& error)
{
    map = Volume_Map{};
    map.image_bytes = image.length;
    std::vector<Volume_Descriptor> descriptors;
    if (!read_volume_descriptors(image, name, descriptors, error))
        return false;
    map.root_lba = descriptors[0].root_lba;
    map.root_size = descriptors[0].root_size;
    Builder b{{image, map, {}, {}}, {}, {}, {}};
    std::vector<uint32_t> set_ends;
    std::string why;
    bool ok = true;
    for (const Volume_Descriptor& v : descriptors) {
        map.fixed_last = std::max(map.fixed_last, v.sector);
        if (v.type == VD_TERMINATOR)
            set_ends.push_back(v.sector);
        if (ok && (v.type == VD_PRIMARY || v.type == VD_SUPPLEMENTARY))
            ok = add_hierarchy(b, v, why);
        if (ok && v.type == VD_BOOT_RECORD && v.boot_catalog != 0)
            ok = add_boot_catalog(b, v, why);
    }
    if (set_ends.empty())
        set_ends.push_back(descriptors.back().sector);
    ok = ok && find_foreign_structures(image, set_ends, map.partitions, map.foreign, why) && add_hybrid_boot_field(b, why) &&
         add_udf_volume(b, set_ends, why);
    if (ok)
        resolve_directory_fields(b);
    if (!ok || !check_overlaps(map, why)) {
        error = std::string(name) + ": " + why;
        return false;
    }
    return true;
}
