#include <gtest/gtest.h>

#include "ops/insertion.h"
#include "ops/new_image_job.h"
#include "ops/relocation.h"
#include "support/disc.h"
#include "support/scratch.h"

using namespace fixture;

namespace {

// Builds the new image from src with the hole at start and no GS2 patch; gives the output.
std::string build(const Scratch& s, const std::string& src, uint32_t start, uint32_t end = 12231)
{
    const std::string dst = s / "out.iso";
    New_Image_Job j = new_image_job(src, dst);
    Captured_Stdout out;
    std::string error;
    EXPECT_TRUE(insert_zero_sectors(j.job.infile, j.job.outfile, start, end, 2048, 1, j.job, j.map, error)) << error;
    std::string text = out.text();
    EXPECT_EQ(text.find("Patching"), std::string::npos) << "a nonzero switch leaves the patch out";
    EXPECT_EQ(j.job.RootDirLBA, 18u);
    EXPECT_EQ(j.job.SizeOfRootDir, 2048u);
    fclose(j.job.infile);
    fclose(j.job.outfile);
    return dst;
}

}  // namespace

TEST(Relocation, ExtentsAtOrPastTheStartMoveAndBothHalvesAreWritten)
{
    Scratch s;
    Image img = create(s / "src.iso", 700);
    descriptor(img, 18, SECTOR, 700);
    Entry below = file("BELOW.BIN;1", 499, 10);
    below.be_lba = 7;  // disagreeing halves below the start stay as they are
    Entry at = file("AT.BIN;1", 500, 10);
    at.be_lba = 9;  // disagreeing halves at the start: both become the moved little-endian value
    directory(img, 18, {self(18), parent(18), below, at, dir("LOW", 20, SECTOR), dir("HIGH", 600, SECTOR)});
    directory(img, 20, {self(20), parent(18), file("L1.BIN;1", 510, 10), file("L0.BIN;1", 30, 10)});
    directory(img, 600, {self(600), parent(18), file("H1.BIN;1", 601, 10), file("H0.BIN;1", 31, 10)});
    finish(img);

    const std::string out = build(s, s / "src.iso", 500);
    const uint32_t n = 12231 - 500 + 1;
    const int64_t rb = find_record(out, 18, 1, "BELOW.BIN;1");
    const int64_t ra = find_record(out, 18, 1, "AT.BIN;1");
    EXPECT_EQ(le_at(out, rb), 499u);
    EXPECT_EQ(be_at(out, rb), 7u);
    EXPECT_EQ(le_at(out, ra), 500u + n);
    EXPECT_EQ(be_at(out, ra), 500u + n);
    // LOW stayed where it was; its records past the start moved.
    EXPECT_EQ(le_at(out, find_record(out, 18, 1, "LOW")), 20u);
    EXPECT_EQ(le_at(out, find_record(out, 20, 1, "L1.BIN;1")), 510u + n);
    EXPECT_EQ(le_at(out, find_record(out, 20, 1, "L0.BIN;1")), 30u);
    // HIGH moved and was walked at its new place: its own entry and its file moved, its
    // parent entry and the file below the start did not.
    const uint32_t high = 600 + n;
    EXPECT_EQ(le_at(out, find_record(out, 18, 1, "HIGH")), high);
    EXPECT_EQ(le_at(out, uint64_t(high) * SECTOR), high) << "self entry";
    EXPECT_EQ(le_at(out, uint64_t(high) * SECTOR + 34), 18u) << "parent entry";
    EXPECT_EQ(le_at(out, find_record(out, high, 1, "H1.BIN;1")), 601u + n);
    EXPECT_EQ(le_at(out, find_record(out, high, 1, "H0.BIN;1")), 31u);
    // The old place of HIGH, now in the hole, is zero.
    EXPECT_EQ(read_bytes(out, 600ull * SECTOR, 4), std::vector<uint8_t>(4, 0));
}

TEST(Relocation, NoHoleStillRewritesExtentsPastTheStartWithTheirOwnValue)
{
    Scratch s;
    Image img = create(s / "src.iso", 40);
    descriptor(img, 18, SECTOR, 40);
    Entry past = file("PAST.BIN;1", 30, 10);
    past.be_lba = 1;
    Entry before = file("BEFORE.BIN;1", 25, 10);
    before.be_lba = 2;
    directory(img, 18, {self(18), parent(18), past, before});
    finish(img);
    const std::string out = build(s, s / "src.iso", 28, 12);  // start above end: no hole
    EXPECT_EQ(file_length(out), file_length(s / "src.iso"));
    EXPECT_EQ(be_at(out, find_record(out, 18, 1, "PAST.BIN;1")), 30u);
    EXPECT_EQ(be_at(out, find_record(out, 18, 1, "BEFORE.BIN;1")), 2u);
}

