#include <cstring>
#include <fcntl.h>
#include <functional>
#include <set>
#include <tuple>
#include <gtest/gtest.h>
#include <unistd.h>

#include "iso/descriptors.h"
#include "support/disc.h"
#include "support/every_kind.h"
#include "support/udf_disc.h"
#include "support/map_of.h"
#include "support/scratch.h"

using namespace fixture;

namespace {

// The structure of the map with that kind and first sector, or null.
const Map_Extent* find(const Volume_Map& map, Extent_Kind kind, uint32_t lba)
{
    for (const Map_Extent& e : map.extents)
        if (e.kind == kind && e.lba == lba)
            return &e;
    return nullptr;
}

// The offsets of the fields that name e.
std::set<uint64_t> fields_of(const Map_Extent& e)
{
    std::set<uint64_t> out;
    for (const Pointer_Field& p : e.pointers)
        out.insert(p.offset);
    return out;
}

// A boot record descriptor whose catalog pointer names sector catalog.
std::vector<uint8_t> boot_record_naming(uint32_t catalog)
{
    std::vector<uint8_t> d(75, 0);
    std::memcpy(&d[VD_IDENTIFIER], "CD001", 5);
    d[VD_VERSION] = 1;
    std::memcpy(&d[VD_BOOT_SYSTEM], EL_TORITO_ID, EL_TORITO_ID_LENGTH);
    d[71] = static_cast<uint8_t>(catalog);
    return d;
}

uint64_t record_field(const std::string& path, uint32_t dir, uint32_t sectors, const std::string& id)
{
    const int64_t at = find_record(path, dir, sectors, id);
    EXPECT_GE(at, 0) << id;
    return static_cast<uint64_t>(at) + 2;
}

}  // namespace

TEST(VolumeMap, EveryKindOnceWithEveryFieldThatNamesIt)
{
    using namespace kinds;
    Scratch s;
    const std::string img = s / "k.iso";
    every_kind_disc(img);
    const Volume_Map map = map_of(img);
    const uint64_t S = SECTOR;

    struct Expected {
        Extent_Kind kind;
        uint32_t lba;
        uint32_t sectors;
        const char* path;
        std::set<uint64_t> fields;
    };
    const std::string ucs_data = std::string("\0D\0A\0T\0A", 8);
    const Expected expected[] = {
        {Extent_Kind::Path_Table, L_TABLE, 1, "type L path table of /", {16 * S + 140, 17 * S + 140}},
        {Extent_Kind::Path_Table, M_TABLE, 1, "type M path table of /", {16 * S + 148, 17 * S + 148}},
        {Extent_Kind::Path_Table, JL_TABLE, 1, "type L path table of [Joliet] /", {18 * S + 140}},
        {Extent_Kind::Directory, ROOT, 1, "/",
         {16 * S + 158, 17 * S + 158, ROOT * S + 2, ROOT * S + 2 + 41, DATA * S + 2 + 34, RR_MOVED * S + 2 + 34,
          L_TABLE * S + 2, M_TABLE * S + 2}},
        {Extent_Kind::Directory, DATA, 2, "/DATA",
         {record_field(img, ROOT, 1, "DATA"), DATA * S + 2, record_field(img, DEEP, 1, std::string(1, '\1')) - 2 + 34 + 4,
          L_TABLE * S + 10 + 2, M_TABLE * S + 10 + 2}},
        {Extent_Kind::Directory, DEEP, 1, "/RR_MOVED/DEEP",
         {record_field(img, RR_MOVED, 1, "DEEP"), DEEP * S + 2, record_field(img, DATA, 1, "DEEP") - 2 + 38 + 4,
          L_TABLE * S + 38 + 2, M_TABLE * S + 38 + 2}},
        {Extent_Kind::Directory, JOLIET_ROOT, 1, "[Joliet] /",
         {18 * S + 158, JOLIET_ROOT * S + 2, JOLIET_ROOT * S + 34 + 2, JOLIET_DATA * S + 34 + 2, JL_TABLE * S + 2,
          JM_TABLE * S + 2}},
        {Extent_Kind::Directory, JOLIET_DATA, 1, "[Joliet] /DATA",
         {record_field(img, JOLIET_ROOT, 1, ucs_data), JOLIET_DATA * S + 2, JL_TABLE * S + 10 + 2, JM_TABLE * S + 10 + 2}},
        {Extent_Kind::File, CNF, 1, "/SYSTEM.CNF;1",
         {record_field(img, ROOT, 1, "SYSTEM.CNF;1"), record_field(img, JOLIET_ROOT, 1, std::string("\0s\0y\0s\0t\0e\0m\0.\0c\0n\0f\0;\0001", 24))}},
        {Extent_Kind::File, A, 3, "/DATA/A.BIN;1", {record_field(img, DATA, 1, "A.BIN;1"), record_field(img, JOLIET_DATA, 1, std::string("\0A\0.\0B\0I\0N\0;\0001", 14))}},
        {Extent_Kind::File, C, 1, "/DATA/C.BIN;1", {(DATA + 1) * S + 2, record_field(img, JOLIET_DATA, 1, std::string("\0C\0.\0B\0I\0N\0;\0001", 14))}},
        {Extent_Kind::Continuation_Area, CONTINUATION, 1, "Rock Ridge continuation area of /SYSTEM.CNF;1",
         {record_field(img, ROOT, 1, "SYSTEM.CNF;1") - 2 + 33 + 12 + 1 + 4}},
        {Extent_Kind::Boot_Catalog, CATALOG, 1, "El Torito boot catalog", {19 * S + 71}},
        {Extent_Kind::Boot_Image, BOOT, 2, "El Torito boot image 1", {CATALOG * S + 32 + 8, BOOT * S + 12, 432}},
    };
    for (const Expected& x : expected) {
        const Map_Extent* e = find(map, x.kind, x.lba);
        ASSERT_NE(e, nullptr) << x.path;
        EXPECT_EQ(e->path, x.path);
        EXPECT_EQ(e->sectors, x.sectors) << x.path;
        EXPECT_EQ(fields_of(*e), x.fields) << x.path;
        EXPECT_EQ(e->pointers.size(), x.fields.size()) << x.path << ": every field is taken once";
    }
    // Both sections of B.BIN, each a structure of its own.
    ASSERT_NE(find(map, Extent_Kind::File, B1), nullptr);
    ASSERT_NE(find(map, Extent_Kind::File, B2), nullptr);
    EXPECT_EQ(find(map, Extent_Kind::File, B2)->path, "/DATA/B.BIN;1");
    // Each structure is one entry, however many descriptors and hierarchies name it.
    std::set<std::tuple<Extent_Kind, uint32_t, uint64_t>> seen;
    for (const Map_Extent& e : map.extents)
        EXPECT_TRUE(seen.insert({e.kind, e.lba, e.bytes}).second) << e.path << " twice";

    EXPECT_EQ(map.extents[static_cast<size_t>(map.system_cnf)].path, "/SYSTEM.CNF;1");
    EXPECT_EQ(map.fixed_last, ROOT);
    EXPECT_EQ(map.root_lba, ROOT);
    ASSERT_EQ(map.descriptors.size(), 3u) << "primary, enhanced and Joliet";
    EXPECT_EQ(map.descriptors[2].sector, 18u);
    ASSERT_EQ(map.partitions.size(), 1u);
    EXPECT_EQ(map.partitions[0].count, SECTORS * 4);
    EXPECT_TRUE(map.foreign.empty());
}

TEST(VolumeMap, FurtherCopiesOfTheDescriptorSetAreFound)
{
    Scratch s;
    // As libisofs lays out an image: a copy of the set at 16, the session's own set at 32+16.
    Image img = create(s / "x.iso", 80);
    Descriptor primary;
    primary.root_lba = 60;
    primary.volume_sectors = 80;
    Descriptor end;
    end.type = 255;
    descriptors(img, 16, {primary, end});
    Descriptor session = primary;
    session.volume_sectors = 48;
    descriptors(img, 48, {session, end});
    directory(img, 60, {self(60), parent(60), file("SYSTEM.CNF;1", 70, 10)});
    finish(img);
    const Volume_Map map = map_of(s / "x.iso");
    ASSERT_EQ(map.descriptors.size(), 2u);
    EXPECT_EQ(map.descriptors[1].sector, 48u);
    EXPECT_EQ(map.descriptors[1].volume_space, 48u);
    EXPECT_EQ(map.fixed_last, 60u);
    const Map_Extent* root = find(map, Extent_Kind::Directory, 60);
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(fields_of(*root).count(16 * SECTOR + 158));
    EXPECT_TRUE(fields_of(*root).count(48 * SECTOR + 158));
}

TEST(VolumeMap, StructuresThatAreNotMovedAreNamed)
{
    struct Case {
        const char* what;
        std::function<void(Image&)> add;
        const char* named;  // start of the warning text, or null for none
        size_t partitions;
    };
    const Case cases[] = {
        {"plain", [](Image&) {}, nullptr, 0},
        {"MBR", [](Image& i) { mbr(i, {{0x17, 0, 4000}, {0x83, 800, 100}}); }, nullptr, 2},
        {"GPT", [](Image& i) { mbr(i, {{0xEE, 1, 3999}}); }, "a GPT partition table", 0},
        {"boot code without a partition table", [](Image& i) {
             std::vector<uint8_t> code(512, 0x90);
             code[510] = 0x55;
             code[511] = 0xAA;
             put(i, 0, code);
         }, nullptr, 0},
        {"Apple partition map", [](Image& i) {
             put(i, 0, {'E', 'R', 8, 0});
             put(i, 2048, {'P', 'M'});
         }, "an Apple partition map", 0},
        {"a recognition sequence without NSR, which is no UDF",
         [](Image& i) { put(i, 18 * SECTOR, {0, 'B', 'E', 'A', '0', '1', 1}); }, nullptr, 0},
        {"MD5 tags", [](Image& i) { put(i, 18 * SECTOR, {'l', 'i', 'b', 'i', 's', 'o', 'f', 's', '_'}); },
         "libisofs MD5 checksum tags", 0},
    };
    for (const Case& c : cases) {
        Scratch s;
        Image img = create(s / "f.iso", 1000);
        descriptor(img, 40, SECTOR, 1000);
        directory(img, 40, {self(40), parent(40), file("SYSTEM.CNF;1", 50, 10)});
        c.add(img);
        finish(img);
        const Volume_Map map = map_of(s / "f.iso");
        if (c.named == nullptr) {
            EXPECT_TRUE(map.foreign.empty()) << c.what;
        } else {
            ASSERT_EQ(map.foreign.size(), 1u) << c.what;
            EXPECT_EQ(map.foreign[0].text.rfind(c.named, 0), 0u) << map.foreign[0].text;
        }
        EXPECT_EQ(map.partitions.size(), c.partitions) << c.what;
    }
}

TEST(VolumeMap, ImagesWithoutASoundDescriptorAreRefused)
{
    Scratch s;
    const struct {
        const char* what;
        uint64_t sectors;
        uint64_t offset;
        std::vector<uint8_t> bytes;
        const char* message;
    } cases[] = {
        {"too short", 16, 0, {}, "x.iso is too short to hold an ISO 9660 volume descriptor"},
        {"type 2 first", 40, 16 * SECTOR, {2}, "x.iso has no ISO 9660 primary volume descriptor at sector 16"},
        {"identifier", 40, 16 * SECTOR + 5, {'2'}, "x.iso has no ISO 9660 primary volume descriptor at sector 16"},
        {"version", 40, 16 * SECTOR + 6, {2}, "x.iso has no ISO 9660 primary volume descriptor at sector 16"},
        {"root past the end", 40, 16 * SECTOR + 158, {0, 0, 1, 0}, "x.iso: directory at sector 65536 runs past the end of the image"},
        {"damaged boot catalog", 40, 17 * SECTOR, boot_record_naming(25), nullptr},
    };
    for (const auto& c : cases) {
        Image img = create(s / "x.iso", c.sectors);
        if (c.sectors >= 40) {
            descriptor(img, 18, 2048, 40);
            directory(img, 18, {self(18), parent(18)});
        }
        if (!c.bytes.empty())
            put(img, c.offset, c.bytes);
        finish(img);
        Volume_Map map;
        std::string error;
        const bool ok = try_map_of(s / "x.iso", map, error);
        if (c.message == nullptr) {
            // A boot record whose catalog (a zero sector) has no sound validation entry.
            EXPECT_FALSE(ok) << c.what;
            EXPECT_NE(error.find("the El Torito boot catalog at sector 25 is damaged"), std::string::npos) << error;
            continue;
        }
        EXPECT_FALSE(ok) << c.what;
        EXPECT_EQ(error, s.dir + "/" + c.message) << c.what;
    }
}

TEST(VolumeMap, TheUdfSideWithEveryFieldThatNamesItsStructures)
{
    using namespace fixture::udf;
    Scratch s;
    udf_disc(s / "u.iso");
    const Volume_Map map = map_of(s / "u.iso");
    ASSERT_TRUE(map.udf.present);
    EXPECT_EQ(map.udf.partition_start, PARTITION);
    EXPECT_EQ(map.udf.partition_length, PARTITION_LENGTH);
    EXPECT_EQ(map.udf.start_fields.size(), 2u) << "the partition descriptors of both sequences";
    EXPECT_EQ(map.udf.length_fields.size(), 3u) << "both partition descriptors and the integrity size table";
    ASSERT_EQ(map.udf.anchors.size(), 2u);
    EXPECT_EQ(map.udf.anchors[1].sector, SECTORS - 1);
    ASSERT_GE(map.udf.system_cnf, 0);
    const Map_Extent& cnf = map.extents[static_cast<size_t>(map.udf.system_cnf)];
    EXPECT_EQ(cnf.kind, Extent_Kind::Udf_Data);
    EXPECT_EQ(cnf.lba, CNF);
    EXPECT_EQ(cnf.path, "[UDF] /SYSTEM.CNF");
    const struct {
        Extent_Kind kind;
        uint32_t lba;
        size_t fields;  // the fields that name it, its own tags' locations among them
    } expected[] = {
        {Extent_Kind::Udf_Sequence, 32, 6},     {Extent_Kind::Udf_Integrity, 64, 3},
        {Extent_Kind::Udf_File_Set, FILE_SET, 4}, {Extent_Kind::Udf_File_Entry, ROOT_ENTRY, 4},
        {Extent_Kind::Udf_Directory, ROOT_DIRECTORY, 4}, {Extent_Kind::Udf_File_Entry, DATA_ENTRY, 2},
        {Extent_Kind::Udf_Directory, DATA_DIRECTORY, 4}, {Extent_Kind::Udf_Allocation, B_ALLOCATION, 2},
        {Extent_Kind::Udf_Data, B, 1},           {Extent_Kind::File, B, 1},
    };
    for (const auto& x : expected) {
        const Map_Extent* e = find(map, x.kind, x.lba);
        ASSERT_NE(e, nullptr) << kind_name(x.kind) << " at " << x.lba;
        EXPECT_EQ(e->pointers.size(), x.fields) << describe(*e);
    }
    // Every descriptor's tag: 2 anchors, 2 x 6 volume descriptors, the integrity descriptor,
    // the file set and its terminator, 5 file entries, 6 identifiers, 1 allocation extent.
    EXPECT_EQ(map.tag_units.size(), 2u + 12 + 1 + 2 + 5 + 6 + 1);
}

TEST(VolumeMap, StructuresThatShareASectorAreRefused)
{
    Scratch s;
    // The primary descriptor's path table is said to lie on the root directory.
    Image img = create(s / "o.iso", 40);
    Descriptor primary;
    primary.root_lba = 20;
    primary.volume_sectors = 40;
    primary.path_table_size = 10;
    primary.path_tables[0] = 20;
    Descriptor end;
    end.type = 255;
    descriptors(img, 16, {primary, end});
    directory(img, 20, {self(20), parent(20), file("SYSTEM.CNF;1", 30, 10)});
    finish(img);
    Volume_Map map;
    std::string error;
    EXPECT_FALSE(try_map_of(s / "o.iso", map, error));
    EXPECT_EQ(error, s / "o.iso" + ": the type L path table of / at sector 20 and the directory / at sector 20 overlap");
}
