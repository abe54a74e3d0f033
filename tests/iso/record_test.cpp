#include <gtest/gtest.h>

#include "iso/record.h"
#include "support/iso_fixture.h"
#include "support/scratch.h"

using namespace fixture;

namespace {

// Writes the record at byte 100 of a small file, reads it back, and reports the name and
// how far the stream moved.
struct Read_Back {
    ISO_Directory_Record record;
    std::string name;
    int64_t advance;
};

Read_Back read_back(const Scratch& s, const Entry& e)
{
    Image img = create(s / "r.bin", 1);
    put(img, 100, encode(e));
    finish(img);
    FILE* f = fopen((s / "r.bin").c_str(), "rb");
    fseeko(f, 100, SEEK_SET);
    Read_Back r;
    EXPECT_EQ(read_directory_record(f, r.record, r.name), 0);
    r.advance = ftello(f) - 100;
    fclose(f);
    return r;
}

}  // namespace

TEST(RecordCodec, NamesAndStreamAdvance)
{
    Scratch s;
    Entry with_system_use = file("SYSTEM.CNF;1", 30, 60);
    with_system_use.system_use = 10;
    Entry short_length = file("ABCDEFGH.I;1", 30, 60);  // 12 bytes of identifier
    short_length.length = 40;
    Entry no_name = file("", 5, 0);
    Entry odd = file("AB.C;1", 31, 1);
    odd.system_use = 1;
    const struct {
        const char* what;
        Entry entry;
        std::string name;
        int64_t advance;
    } cases[] = {
        {"self", self(18), "", 34},
        {"parent", parent(18), "", 34},
        {"one-character directory keeps its name", dir("A", 40, 2048), "A", 34},
        {"empty identifier", no_name, "", 34},
        {"even name, fill byte and system use", with_system_use, "SYSTEM.CNF;1", 56},
        {"length shorter than 33 + name", short_length, "ABCDEFGH.I;1", 40},
        {"odd length", odd, "AB.C;1", 41},
    };
    for (const auto& c : cases) {
        Read_Back r = read_back(s, c.entry);
        EXPECT_EQ(r.name, c.name) << c.what;
        EXPECT_EQ(r.advance, r.record.Length) << c.what;
        EXPECT_EQ(r.advance, c.advance) << c.what;
        EXPECT_EQ(record_lba(r.record), c.entry.lba) << c.what;
    }
}

TEST(RecordCodec, SelfAndParentAreToldByTheirIdentifierBytes)
{
    Scratch s;
    Read_Back self_entry = read_back(s, self(18));
    Read_Back parent_entry = read_back(s, parent(18));
    Read_Back one_char = read_back(s, dir("B", 40, 2048));
    EXPECT_TRUE(record_is_self_or_parent(self_entry.record, self_entry.name));
    EXPECT_TRUE(record_is_self_or_parent(parent_entry.record, parent_entry.name));
    EXPECT_FALSE(record_is_self_or_parent(one_char.record, one_char.name));
    EXPECT_TRUE(record_is_directory(one_char.record));
}

TEST(RecordCodec, BothEndianField)
{
    const struct {
        uint32_t value;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {0, {0, 0, 0, 0, 0, 0, 0, 0}},
        {12231, {0xC7, 0x2F, 0, 0, 0, 0, 0x2F, 0xC7}},
        {0x01020304, {4, 3, 2, 1, 1, 2, 3, 4}},
        {4294967295u, {255, 255, 255, 255, 255, 255, 255, 255}},
    };
    for (const auto& c : cases) {
        uint8_t field[8];
        memset(field, 0xEE, sizeof field);
        write_both_endian(c.value, field);
        EXPECT_EQ(std::vector<uint8_t>(field, field + 8), c.bytes) << c.value;
    }
}

TEST(RecordCodec, RepointingChangesOnlyBytes2To9OfTheRecord)
{
    Scratch s;
    Entry e = file("FILE.BIN;1", 500, 1234);
    e.be_lba = 77;  // halves disagree before
    Image img = create(s / "r.bin", 2);
    put(img, 0, pattern(4096, 3));
    put(img, 300, encode(e));
    finish(img);
    const std::vector<uint8_t> before = read_file(s / "r.bin");

    FILE* f = fopen((s / "r.bin").c_str(), "r+b");
    fseeko(f, 300, SEEK_SET);
    ISO_Directory_Record record;
    std::string name;
    ASSERT_EQ(read_directory_record(f, record, name), 0);
    ASSERT_EQ(repoint_record(f, 300, record, 12231), 0);
    EXPECT_EQ(ftello(f), 300 + record.Length);
    fclose(f);

    const std::vector<uint8_t> after = read_file(s / "r.bin");
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        if (i >= 302 && i < 310)
            continue;
        ASSERT_EQ(after[i], before[i]) << "byte " << i;
    }
    EXPECT_EQ(le_at(s / "r.bin", 300), 12231u);
    EXPECT_EQ(be_at(s / "r.bin", 300), 12231u);
}
