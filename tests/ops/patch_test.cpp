#include <fcntl.h>
#include <gtest/gtest.h>

#include "ops/console.h"
#include "ops/patch.h"
#include "support/disc.h"
#include "support/map_of.h"
#include "support/scratch.h"

using namespace fixture;

namespace {

struct Patched {
    bool ok;
    std::string out;
};

Patched patch(const std::string& path)
{
    const Volume_Map map = map_of(path);
    FILE* f = fopen(path.c_str(), "r+b");
    Captured_Stdout out;
    std::string error;
    uint32_t extended_to = 0;
    bool ok = patch_for_gs2(f, map, Sector_Shift{0, 0}, path.c_str(), true, extended_to, error);
    if (!ok)
        say_line(error);
    Patched r{ok, out.text()};
    fclose(f);
    return r;
}

}  // namespace

TEST(Patch, FirstNameContainingSystemCnfIsMovedToSector12231)
{
    struct Case {
        const char* what;
        std::vector<Placed> files;
        const char* moved;     // record that must point at 12231
        const char* kept;      // record that must keep its extent, or null
    };
    const Case cases[] = {
        {"plain", {{"SYSTEM.CNF;1", 24, 60, 7}, {"SYSTEM.CNF;2", 25, 60, 8}}, "SYSTEM.CNF;1", "SYSTEM.CNF;2"},
        {"no version suffix", {{"A.BIN;1", 25, 60, 8}, {"SYSTEM.CNF", 24, 60, 7}}, "SYSTEM.CNF", "A.BIN;1"},
        {"contained in a longer name", {{"XSYSTEM.CNF.BAK;1", 24, 60, 7}, {"SYSTEM.CNF;1", 25, 60, 8}}, "XSYSTEM.CNF.BAK;1", "SYSTEM.CNF;1"},
        {"lower case does not match", {{"system.cnf;1", 25, 60, 8}, {"SYSTEM.CNF;1", 24, 60, 7}}, "SYSTEM.CNF;1", "system.cnf;1"},
        {"already at 12231", {{"SYSTEM.CNF;1", 12231, 60, 7}}, "SYSTEM.CNF;1", nullptr},
        {"empty", {{"SYSTEM.CNF;1", 24, 0, 7}}, "SYSTEM.CNF;1", nullptr},
    };
    for (const Case& c : cases) {
        Scratch s;
        disc(s / "p.iso", c.files, {}, 12300);
        // Sector 12231 holds data of its own, which the bytes after SYSTEM.CNF keep.
        Image img{s / "p.iso", -1};
        img.fd = open(img.path.c_str(), O_RDWR);
        if (c.files[0].lba != 12231)
            data(img, 12231, SECTOR, 99);
        finish(img);
        const std::vector<uint8_t> before = read_file(s / "p.iso");

        Patched r = patch(s / "p.iso");
        EXPECT_TRUE(r.ok) << c.what;
        EXPECT_EQ(r.out, "Patching For GS2...Done.\n") << c.what;
        const int64_t moved = find_record(s / "p.iso", ROOT_LBA, 1, c.moved);
        EXPECT_EQ(le_at(s / "p.iso", moved), 12231u) << c.what;
        EXPECT_EQ(be_at(s / "p.iso", moved), 12231u) << c.what;
        if (c.kept != nullptr) {
            const int64_t kept = find_record(s / "p.iso", ROOT_LBA, 1, c.kept);
            EXPECT_EQ(read_bytes(s / "p.iso", kept, 40),
                      std::vector<uint8_t>(before.begin() + kept, before.begin() + kept + 40)) << c.what;
        }
        const Placed* source = nullptr;
        for (const Placed& f : c.files)
            if (f.id == c.moved)
                source = &f;
        std::vector<uint8_t> expected(before.begin() + 12231ll * SECTOR, before.begin() + 12232ll * SECTOR);
        const std::vector<uint8_t> bytes = contents(*source);
        std::copy(bytes.begin(), bytes.end(), expected.begin());
        EXPECT_EQ(read_bytes(s / "p.iso", 12231ull * SECTOR, SECTOR), expected) << c.what;
        // The old extent keeps its bytes.
        EXPECT_EQ(read_bytes(s / "p.iso", uint64_t(source->lba) * SECTOR, source->size), bytes) << c.what;
    }
}

TEST(Patch, RecordsAfterTheZeroFillOfASectorAreFoundInTheNextSector)
{
    Scratch s;
    // The root takes two sectors; SYSTEM.CNF is the first record of the second one.
    Image img = create(s / "p.iso", 12300);
    descriptor(img, ROOT_LBA, 2 * SECTOR, 12300);
    directory(img, ROOT_LBA, {self(ROOT_LBA, 2 * SECTOR), parent(ROOT_LBA), file("A.BIN;1", 25, 10)});
    put(img, (ROOT_LBA + 1) * SECTOR, encode(file("SYSTEM.CNF;1", 24, 60)));
    data(img, 24, 60, 7);
    finish(img);
    Patched r = patch(s / "p.iso");
    EXPECT_TRUE(r.ok) << r.out;
    EXPECT_EQ(le_at(s / "p.iso", (ROOT_LBA + 1) * SECTOR), 12231u);
    EXPECT_EQ(read_bytes(s / "p.iso", 12231ull * SECTOR, 60), pattern(60, 7));
}

TEST(Patch, ImageIsLeftUnchangedWhenThePatchCannotBeMade)
{
    struct Case {
        const char* what;
        std::vector<Placed> root;
        std::vector<Placed> sub;
        std::string message;
    };
    const Case cases[] = {
        {"no SYSTEM.CNF", {{"A.BIN;1", 25, 10, 1}}, {}, "has no SYSTEM.CNF in its root directory"},
        {"SYSTEM.CNF only in a subdirectory", {{"A.BIN;1", 25, 10, 1}}, {{"SYSTEM.CNF;1", 24, 60, 7}},
         "has no SYSTEM.CNF in its root directory"},
        {"longer than a sector", {{"SYSTEM.CNF;1", 24, 2049, 7}}, {},
         "is 2049 bytes, more than one sector; at sector 12231 it would overwrite the sectors after it"},
    };
    for (const Case& c : cases) {
        Scratch s;
        disc(s / "p.iso", c.root, c.sub, 12300);
        const std::vector<uint8_t> before = read_file(s / "p.iso");
        Patched r = patch(s / "p.iso");
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_EQ(r.out.rfind("Patching For GS2...\nError: ", 0), 0u) << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("Done."), std::string::npos);
        EXPECT_TRUE(read_file(s / "p.iso") == before) << c.what;
    }
}
