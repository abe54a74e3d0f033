// A hole placed at and inside each kind of structure of the volume map, on a disc that holds
// one of every kind; the results read back by isoinfo and xorriso, not by vintrel's own map.

#include <gtest/gtest.h>
#include <sstream>

#include "iso/byte_order.h"
#include "support/every_kind.h"
#include "support/iso_fixture.h"
#include "support/process.h"
#include "support/readers.h"
#include "support/scratch.h"

using namespace fixture;
using namespace fixture::kinds;

namespace {

// What `isoinfo -x` extracts for an ISO 9660 path.
std::string extracted(const std::string& image, const std::string& path)
{
    std::string out;
    run_shell("isoinfo -i '" + image + "' -x '" + path + "'", &out);
    return out;
}

uint32_t le32_at(const std::string& path, uint64_t offset)
{
    return read_le32(read_bytes(path, offset, 4).data());
}

}  // namespace

TEST(MapKinds, AHoleInsideAStructureIsRefusedNamingIt)
{
    const struct {
        uint32_t start;
        std::string named;
    } cases[] = {
        {DATA + 1, "lies inside the directory /DATA, which begins at sector 31; start the hole at sector 31 instead"},
        {BOOT + 1, "lies inside the El Torito boot image 1, which begins at sector 70; start the hole at sector 70 instead"},
        {A + 2, "lies inside the file /DATA/A.BIN;1, which begins at sector 200; start the hole at sector 200 instead"},
        {M_TABLE, "would take the volume descriptors, path tables or root directories (up to sector 30); start it past them"},
    };
    Scratch s;
    every_kind_disc(s / "k.iso");
    for (const auto& c : cases) {
        Run_Result r = run_vintrel({"n", s / "k.iso", s / "out.iso", std::to_string(c.start)});
        EXPECT_EQ(r.status, 1) << c.start;
        EXPECT_NE(r.out.find(c.named), std::string::npos) << r.out;
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
        EXPECT_EQ(file_length(s / "out.iso"), 0u);
    }
}

TEST(MapKinds, AHoleAtAStructureMovesItAndEveryFieldThatNamesIt)
{
    const struct {
        const char* kind;
        uint32_t start;
    } cases[] = {
        {"directory of two sectors", DATA},      {"relocated directory (CL, PL)", DEEP},
        {"Joliet directory", JOLIET_DATA},       {"continuation area", CONTINUATION},
        {"boot catalog", CATALOG},               {"boot image", BOOT},
        {"SYSTEM.CNF", CNF},                     {"file", A},
        {"second section of a file", B2},
    };
    Scratch s;
    const std::string src = s / "k.iso", out = s / "out.iso";
    every_kind_disc(src);
    const std::vector<std::string> listings = {"", "-R", "-J"};
    std::map<std::string, std::map<std::string, long>> before;
    for (const std::string& flags : listings)
        before[flags] = listed_extents(src, flags);
    ASSERT_EQ(before["-R"].count("/RR_MOVED/DEEP/D.BIN;1"), 1u);

    for (const auto& c : cases) {
        const uint32_t count = 12231 - c.start + 1;
        auto moved = [&](long lba) { return lba >= long(c.start) ? lba + long(count) : lba; };
        Run_Result r = run_vintrel({"n", src, out, std::to_string(c.start)});
        ASSERT_EQ(r.status, 0) << c.kind << "\n" << r.out;

        for (const std::string& flags : listings) {
            const std::map<std::string, long> after = listed_extents(out, flags);
            ASSERT_EQ(after.size(), before[flags].size()) << c.kind << " " << flags;
            for (const auto& [path, lba] : before[flags]) {
                const bool cnf = lba == CNF;
                EXPECT_EQ(after.at(path), cnf ? 12231 : moved(lba)) << c.kind << " " << flags << " " << path;
            }
        }
        for (const Disc_File& f : every_kind_files())
            EXPECT_EQ(extracted(out, f.path), extracted(src, f.path)) << c.kind << " " << f.path;
        // The boot image, hidden from the trees, moved whole; its boot information table names
        // its new place.
        std::vector<uint8_t> boot = read_bytes(src, uint64_t(BOOT) * SECTOR, BOOT_SIZE);
        write_le32(&boot[12], static_cast<uint32_t>(moved(BOOT)));
        EXPECT_EQ(read_bytes(out, uint64_t(moved(BOOT)) * SECTOR, BOOT_SIZE), boot) << c.kind;
        EXPECT_EQ(extracted(out, "/DATA/B.BIN;1"), extracted(src, "/DATA/B.BIN;1")) << c.kind;
        EXPECT_EQ(el_torito(out), std::make_pair(moved(CATALOG), moved(BOOT))) << c.kind;
        EXPECT_EQ(le32_at(out, 432), moved(BOOT) * 4) << c.kind << ": isohybrid boot code";
        EXPECT_EQ(le32_at(out, 446 + 12), (SECTORS + count) * 4) << c.kind << ": the partition covers the image";
    }
}
