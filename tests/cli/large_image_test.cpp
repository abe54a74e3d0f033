// DVD-size images, as sparse files: extents past 2 GiB and 4 GiB, a file of several sections.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/iso_fixture.h"
#include "support/process.h"
#include "support/scratch.h"

using namespace fixture;

namespace {

constexpr uint32_t B_LBA = 1100000;        // byte 2.25 GB, past 2^31
constexpr uint32_t CNF_LBA = 2200000;      // byte 4.5 GB, past 2^32
constexpr uint32_t HUGE_LBA = 2300000;     // a file of two sections, 4 GiB and more in all
constexpr uint32_t SECTION = 0xFFFFF800u;  // largest section that is a whole number of sectors
constexpr uint32_t HUGE_TAIL = 9000;  // room for both marks
constexpr uint32_t HUGE_SECOND = HUGE_LBA + SECTION / SECTOR;
constexpr uint64_t SECTORS = HUGE_SECOND + 10;

// Marks of 4 KiB at both ends of a file's extent, which is otherwise a hole.
void mark(Image& img, uint32_t lba, uint64_t size, uint32_t seed)
{
    put(img, uint64_t(lba) * SECTOR, pattern(4096, seed));
    put(img, uint64_t(lba) * SECTOR + size - 4096, pattern(4096, seed + 1000));
}

bool marked(const std::string& path, uint32_t lba, uint64_t size, uint32_t seed)
{
    return read_bytes(path, uint64_t(lba) * SECTOR, 4096) == pattern(4096, seed) &&
           read_bytes(path, uint64_t(lba) * SECTOR + size - 4096, 4096) == pattern(4096, seed + 1000);
}

void large_disc(const std::string& path)
{
    Image img = create(path, SECTORS);
    descriptor(img, 18, SECTOR, static_cast<uint32_t>(SECTORS));
    Entry first = file("HUGE.BIN;1", HUGE_LBA, SECTION);
    first.flags = 0x80;  // multi-extent: another section follows
    directory(img, 18, {self(18), parent(18), file("A.BIN;1", 500, 3000), file("B.BIN;1", B_LBA, 1 << 20),
                        file("SYSTEM.CNF;1", CNF_LBA, 60), first, file("HUGE.BIN;1", HUGE_SECOND, HUGE_TAIL)});
    data(img, 500, 3000, 1);
    mark(img, B_LBA, 1 << 20, 2);
    data(img, CNF_LBA, 60, 3);
    mark(img, HUGE_LBA, SECTION, 4);
    mark(img, HUGE_SECOND, HUGE_TAIL, 5);
    finish(img);
}

// Extracts one file with xorriso and gives its bytes.
std::vector<uint8_t> extracted(const Scratch& s, const std::string& image, const std::string& name)
{
    const std::string out = s / ("x-" + name);
    EXPECT_EQ(run_shell("xorriso -osirrox on -indev '" + image + "' -extract /" + name + " '" + out +
                        "' >/dev/null 2>&1"),
              0);
    return read_file(out);
}

}  // namespace

TEST(LargeImages, ExtentsPast2And4GiBMoveAndSystemCnfComesFromPast4GiB)
{
    Scratch s;
    const std::string src = s / "dvd.iso", out = s / "new.iso";
    large_disc(src);
    Run_Result r = run_vintrel({"a", src, out});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "LBA selected : 500");
    const uint32_t n = 12231 - 500 + 1;
    EXPECT_EQ(file_length(out), file_length(src) + uint64_t(n) * SECTOR);

    // Every record moved, both sections of HUGE.BIN among them, and the data with them.
    std::vector<std::pair<uint64_t, uint32_t>> records;  // offset, extent
    const uint64_t root = 18ull * SECTOR;
    for (uint64_t pos = root + 68; read_bytes(out, pos, 1)[0] != 0; pos += read_bytes(out, pos, 1)[0])
        records.push_back({pos, le_at(out, pos)});
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[0].second, 500u + n);
    EXPECT_EQ(records[1].second, B_LBA + n);
    EXPECT_EQ(records[2].second, 12231u);
    EXPECT_EQ(records[3].second, HUGE_LBA + n);
    EXPECT_EQ(records[4].second, HUGE_SECOND + n);
    EXPECT_TRUE(marked(out, B_LBA + n, 1 << 20, 2));
    EXPECT_TRUE(marked(out, HUGE_LBA + n, SECTION, 4));
    EXPECT_TRUE(marked(out, HUGE_SECOND + n, HUGE_TAIL, 5));
    EXPECT_EQ(read_bytes(out, 12231ull * SECTOR, 60), pattern(60, 3));

    // An independent reader agrees for the files past 2 GiB and 4 GiB.
    EXPECT_EQ(extracted(s, out, "SYSTEM.CNF"), pattern(60, 3));
    std::vector<uint8_t> b = extracted(s, out, "B.BIN");
    ASSERT_EQ(b.size(), 1u << 20);
    EXPECT_TRUE(std::equal(b.begin(), b.begin() + 4096, pattern(4096, 2).begin()));

    // The source's holes stay holes in the new image: it takes little more room than its data.
    struct stat st;
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_LT(uint64_t(st.st_blocks) * 512, 64ull << 20);
}

TEST(LargeImages, PatchModeCopiesSystemCnfFromPast4GiB)
{
    Scratch s;
    const std::string image = s / "dvd.iso";
    large_disc(image);
    Run_Result r = run_vintrel({"p", image});
    EXPECT_EQ(r.out, "Patching For GS2...Done.\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(le_at(image, find_record(image, 18, 1, "SYSTEM.CNF;1")), 12231u);
    EXPECT_EQ(extracted(s, image, "SYSTEM.CNF"), pattern(60, 3));
}

TEST(LargeImages, ExtentThatWouldMovePastTheLastSectorNumberIsRefused)
{
    Scratch s;
    Image img = create(s / "far.iso", 600);
    descriptor(img, 18, SECTOR, 600);
    directory(img, 18, {self(18), parent(18), file("SYSTEM.CNF;1", 24, 60), file("A.BIN;1", 500, 10),
                        file("FAR.BIN;1", 4294967000u, 10)});
    finish(img);
    Run_Result r = run_vintrel({"a", s / "far.iso", s / "new.iso"});
    EXPECT_EQ(r.out, "LBA selected : 500\nError: " + (s / "far.iso") +
                         ": the extent of /FAR.BIN;1 at sector 4294967000 would move past sector 4294967295\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(file_length(s / "new.iso"), 0u);
}
