#include <gtest/gtest.h>

#include "ops/insertion.h"
#include "ops/new_image_job.h"
#include "support/disc.h"
#include "support/scratch.h"

using namespace fixture;

namespace {

// Runs insert_zero_sectors from src to dst; gives what it printed and its result.
struct Inserted {
    bool ok;
    std::string out;
};

Inserted insert(const std::string& src, const std::string& dst, uint32_t start, uint32_t end,
                uint16_t patch_switch = 0)
{
    New_Image_Job j = new_image_job(src, dst);
    Captured_Stdout out;
    std::string error;
    bool ok = insert_zero_sectors(j.job.infile, j.job.outfile, start, end, 2048, patch_switch, j.job, j.map, error);
    Inserted r{ok, out.text() + (ok ? "" : error + "\n")};
    fclose(j.job.infile);
    fclose(j.job.outfile);
    return r;
}

void set_both_endian(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = bytes[at + 7 - i] = static_cast<uint8_t>(value >> (8 * i));
}

bool zero(const std::vector<uint8_t>& bytes)
{
    for (uint8_t b : bytes)
        if (b != 0)
            return false;
    return true;
}

std::string normal_run_output(uint32_t inserted)
{
    return "Creating new image.\nPlease wait....\n"
           "Inserting Nixo data...\n"
           "Finished inserting " + std::to_string(inserted) + " sectors...\nMoving File contents...\n"
           "Reindexing TOC\nPlease Wait...\n"
           "Done Reindexing TOC.\n"
           "Patching For GS2...Done.\n";
}

}  // namespace

TEST(Insertion, HoleLayoutForStartSectorsAroundThePatchSector)
{
    struct Case {
        uint32_t start;
        uint32_t inserted;
    };
    const Case cases[] = {{30, 12202}, {12000, 232}, {12231, 1}, {12232, 0}, {20000, 0}};
    Scratch s;
    const Placed cnf = system_cnf(24);
    disc(s / "src.iso", {cnf, {"A.BIN;1", 30, 5000, 2}}, {}, 12300);
    const std::vector<uint8_t> src = read_file(s / "src.iso");
    const int64_t cnf_record = find_record(s / "src.iso", ROOT_LBA, 1, "SYSTEM.CNF;1");
    ASSERT_GT(cnf_record, 0);
    for (const Case& c : cases) {
        Inserted r = insert(s / "src.iso", s / "out.iso", c.start, 12231);
        ASSERT_TRUE(r.ok) << r.out;
        EXPECT_EQ(r.out, normal_run_output(c.inserted)) << c.start;

        // The source up to the hole, the zero sectors, the rest of the source ...
        const uint64_t head = std::min<uint64_t>(uint64_t(c.start) * SECTOR, src.size());
        std::vector<uint8_t> expected(src.begin(), src.begin() + head);
        expected.resize(head + uint64_t(c.inserted) * SECTOR, 0);
        expected.insert(expected.end(), src.begin() + head, src.end());
        // ... with SYSTEM.CNF repointed and copied to the patch sector.
        uint8_t at_patch[8] = {0xC7, 0x2F, 0, 0, 0, 0, 0x2F, 0xC7};
        std::copy(at_patch, at_patch + 8, expected.begin() + cnf_record + 2);
        const std::vector<uint8_t> bytes = contents(cnf);
        std::copy(bytes.begin(), bytes.end(), expected.begin() + 12231ull * SECTOR);
        // The volume space size grows by the inserted sectors.
        if (c.inserted > 0)
            set_both_endian(expected, 16 * SECTOR + 80, 12300 + c.inserted);
        if (c.start == 30) {  // A.BIN began at the start of the hole and moved with the rest
            EXPECT_EQ(le_at(s / "out.iso", find_record(s / "out.iso", ROOT_LBA, 1, "A.BIN;1")), 30u + c.inserted);
        }

        std::vector<uint8_t> out = read_file(s / "out.iso");
        const int64_t a_record = find_record(s / "src.iso", ROOT_LBA, 1, "A.BIN;1");
        if (c.start == 30)
            std::copy(out.begin() + a_record + 2, out.begin() + a_record + 10, expected.begin() + a_record + 2);
        ASSERT_EQ(out.size(), expected.size()) << c.start;
        EXPECT_TRUE(out == expected) << "start " << c.start;
    }
}

TEST(Insertion, SourceShorterThanTheStartIsFollowedDirectlyByTheHole)
{
    Scratch s;
    disc(s / "src.iso", {system_cnf(24)}, {}, 30);
    Inserted r = insert(s / "src.iso", s / "out.iso", 40, 12231, 1);
    ASSERT_TRUE(r.ok) << r.out;
    EXPECT_EQ(file_length(s / "out.iso"), (30ull + 12231 - 40 + 1) * SECTOR);
    std::vector<uint8_t> expected = read_file(s / "src.iso");
    set_both_endian(expected, 16 * SECTOR + 80, 30 + 12231 - 40 + 1);
    EXPECT_EQ(read_bytes(s / "out.iso", 0, 30 * SECTOR), expected);
    EXPECT_TRUE(zero(read_bytes(s / "out.iso", 30 * SECTOR, (12231 - 40 + 1) * SECTOR)));
}

TEST(Insertion, HoleFromSectorZeroPutsTheWholeSourceAfterItAndFailsTheCheck)
{
    Scratch s;
    disc(s / "src.iso", {system_cnf(24)}, {}, 30);
    // Every field moves with the rest, but the descriptor now lies in the hole: reading the new
    // image back finds no descriptor at sector 16, so the build is not reported as done.
    Inserted r = insert(s / "src.iso", s / "out.iso", 0, 12231);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.out.find("Error: " + (s / "out.iso") + " does not check out: " + (s / "out.iso") +
                         " has no ISO 9660 primary volume descriptor at sector 16"),
              std::string::npos) << r.out;
    EXPECT_TRUE(zero(read_bytes(s / "out.iso", 0, 12231ull * SECTOR)));
    EXPECT_EQ(read_bytes(s / "out.iso", 12231ull * SECTOR, 60), contents(system_cnf(24)));
}
