#include <cstring>
#include <gtest/gtest.h>

#include "iso/record.h"
#include "support/iso_fixture.h"

using namespace fixture;

namespace {

// The record of e decoded from its bytes, followed by other directory bytes.
struct Decoded {
    bool ok;
    ISO_Directory_Record record;
    std::string name;
};

Decoded decode(const Entry& e, size_t available = 0)
{
    std::vector<uint8_t> bytes = encode(e);
    bytes.resize(bytes.size() + 64, 0x5A);
    Decoded d;
    d.ok = read_directory_record(bytes.data(), available != 0 ? available : bytes.size(), d.record, d.name);
    return d;
}

}  // namespace

TEST(RecordCodec, NamesAndLengths)
{
    Entry with_system_use = file("SYSTEM.CNF;1", 30, 60);
    with_system_use.system_use = 10;
    Entry no_version = file("README", 31, 1);
    Entry ucs2 = file(std::string("\0A\0B", 4), 32, 1);
    const struct {
        const char* what;
        Entry entry;
        std::string name;
        uint8_t length;
    } cases[] = {
        {"self", self(18), "", 34},
        {"parent", parent(18), "", 34},
        {"one-character directory keeps its name", dir("A", 40, 2048), "A", 34},
        {"even name, fill byte and system use", with_system_use, "SYSTEM.CNF;1", 56},
        {"no version suffix", no_version, "README", 40},
        {"Joliet identifier with its zero bytes", ucs2, std::string("\0A\0B", 4), 38},
    };
    for (const auto& c : cases) {
        Decoded d = decode(c.entry);
        ASSERT_TRUE(d.ok) << c.what;
        EXPECT_EQ(d.name, c.name) << c.what;
        EXPECT_EQ(d.record.Length, c.length) << c.what;
        EXPECT_EQ(record_lba(d.record), c.entry.lba) << c.what;
        EXPECT_EQ(record_size(d.record), c.entry.size) << c.what;
    }
    EXPECT_EQ(system_use_offset(decode(with_system_use).record), 33u + 12 + 1);
    EXPECT_EQ(system_use_offset(decode(file("AB.C;1", 1, 1)).record), 33u + 6 + 1);
    EXPECT_EQ(system_use_offset(decode(file("ABC.D;1", 1, 1)).record), 33u + 7);
}

TEST(RecordCodec, DamagedRecordsAreRefused)
{
    Entry short_length = file("S;1", 30, 1);
    short_length.length = 30;
    Entry name_past_record = file("ABCDEFGH.I;1", 30, 60);
    name_past_record.length = 40;
    Entry no_name = file("", 5, 0);
    no_name.name_length = 0;
    const struct {
        const char* what;
        Entry entry;
        size_t available;
    } cases[] = {
        {"shorter than the fixed part and one identifier byte", short_length, 0},
        {"identifier running past the record", name_past_record, 0},
        {"identifier of no bytes", no_name, 0},
        {"record running past the directory's bytes", file("LONG.BIN;1", 1, 1), 40},
        {"fewer bytes than a fixed part", file("A;1", 1, 1), 20},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(decode(c.entry, c.available).ok) << c.what;
}

TEST(RecordCodec, SelfAndParentAreToldByTheirIdentifierBytes)
{
    Decoded self_entry = decode(self(18));
    Decoded parent_entry = decode(parent(18));
    Decoded one_char = decode(dir("B", 40, 2048));
    EXPECT_TRUE(record_is_self_or_parent(self_entry.record, self_entry.name));
    EXPECT_TRUE(record_is_self_or_parent(parent_entry.record, parent_entry.name));
    EXPECT_FALSE(record_is_self_or_parent(one_char.record, one_char.name));
    EXPECT_TRUE(record_is_directory(one_char.record));
}

TEST(RecordCodec, BothEndianFieldAndRewrittenExtent)
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
    // Rewriting an extent changes bytes 2 to 9 of the record and nothing else.
    Entry e = file("FILE.BIN;1", 500, 1234);
    e.be_lba = 77;
    const std::vector<uint8_t> before = encode(e);
    std::vector<uint8_t> after = before;
    rewrite_extent(after.data(), 12231);
    for (size_t i = 0; i < before.size(); ++i) {
        if (i < 2 || i >= 10) {
            EXPECT_EQ(after[i], before[i]) << "byte " << i;
        }
    }
    EXPECT_EQ(std::vector<uint8_t>(after.begin() + 2, after.begin() + 10), cases[1].bytes);
}
