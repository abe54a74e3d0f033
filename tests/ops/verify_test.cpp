// The check of a new image against the source's map: a build whose result differs from what
// the map says in any way ends with an error naming the first difference, never in success.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "ops/verify.h"
#include "support/disc.h"
#include "support/map_of.h"
#include "support/process.h"
#include "support/scratch.h"

using namespace fixture;

namespace {

// A disc with SYSTEM.CNF at 24, files at 40 and 300 (in DATA) and 12100.
void sample(const std::string& path)
{
    disc(path, {system_cnf(24), {"A.BIN;1", 40, 3000, 1}, {"LATE.BIN;1", 12100, 5000, 2}},
         {{"SUB.BIN;1", 300, 2048 * 3, 3}});
}

}  // namespace

TEST(Verify, ADamagedBuildEndsWithTheFirstDifferenceAndNoSuccess)
{
    // The byte that the hook inverts in the new image once the patch is written, and the
    // difference that must be named. Hole at 40: 12192 sectors.
    const uint64_t moved = 12192;
    struct Case {
        const char* what;
        std::function<uint64_t(const std::string& src)> byte;
        std::string named;
    };
    const Case cases[] = {
        {"a moved file's extent",
         [](const std::string& src) { return find_record(src, ROOT_LBA, 1, "A.BIN;1") + 2; },
         // 12232 is 0x2FC8; its low byte inverted gives 0x2F37.
         "the file /A.BIN;1 lies at sector 12087 instead of sector " + std::to_string(40 + moved)},
        {"a file's length in a moved directory",
         [](const std::string& src) { return find_record(src, SUB_LBA, 1, "SUB.BIN;1") + 10 + 1; },
         "the file /DATA/SUB.BIN;1 is"},
        {"the volume space size",
         [](const std::string&) { return 16 * SECTOR + 80 + 1; },
         "the volume descriptor at sector 16 gives a volume space of"},
        {"SYSTEM.CNF at the patch sector",
         [](const std::string&) { return 12231 * SECTOR + 5; },
         "sector 12231 does not hold the bytes of SYSTEM.CNF"},
        {"a directory's own entry",
         [](const std::string&) { return SUB_LBA * SECTOR + 33; },
         "directory at sector 19 does not begin with its own entry"},
    };
    for (const Case& c : cases) {
        Scratch s;
        sample(s / "src.iso");
        const std::string hook = "patched:poke=" + std::to_string(c.byte(s / "src.iso"));
        Run_Result r = run_hooked_vintrel(hook, {"n", s / "src.iso", s / "new.iso", "40"});
        EXPECT_EQ(r.status, 1) << c.what;
        EXPECT_NE(r.out.find("Error: " + (s / "new.iso") + " does not check out: "), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(c.named), std::string::npos) << c.what << "\n" << r.out;
        EXPECT_EQ(r.out.find("All tasks complete."), std::string::npos) << r.out;
        EXPECT_EQ(file_length(s / "new.iso"), 0u) << c.what;
    }
    // Without damage the same build completes.
    Scratch s;
    sample(s / "src.iso");
    EXPECT_EQ(run_hooked_vintrel("patched:none", {"n", s / "src.iso", s / "new.iso", "40"}).status, 0);
}

TEST(Verify, AMapThatDiffersFromTheImageIsNamed)
{
    Scratch s;
    sample(s / "src.iso");
    const Volume_Map map = map_of(s / "src.iso");
    const int fd = open((s / "src.iso").c_str(), O_RDONLY);
    std::vector<uint8_t> cnf;
    std::string error;
    ASSERT_TRUE(read_system_cnf(fd, "src.iso", map, Sector_Shift{0, 0}, cnf, error)) << error;
    const Expected_Change unchanged = expected_change(map, Sector_Shift{0, 0}, false, 0);
    // The image against its own map: nothing moved, nothing differs.
    ASSERT_TRUE(verify_image(fd, "src.iso", map, Sector_Shift{0, 0}, unchanged, cnf, error)) << error;

    struct Case {
        const char* what;
        std::function<void(Volume_Map&)> tamper;
        std::string named;
    };
    const Case cases[] = {
        {"a structure's sector", [](Volume_Map& m) { m.extents.back().lba += 1; }, "lies at sector"},
        {"a field that names it", [](Volume_Map& m) { m.extents[1].pointers[0].offset += 34; }, "is named from byte"},
        {"a structure too many", [](Volume_Map& m) { m.extents.push_back(m.extents.back()); }, "is missing"},
        {"a structure too few", [](Volume_Map& m) { m.extents.pop_back(); }, "is not in the source image"},
        {"the image's length", [](Volume_Map& m) { m.image_bytes += SECTOR; }, "bytes long instead of"},
    };
    for (const Case& c : cases) {
        Volume_Map tampered = map;
        c.tamper(tampered);
        EXPECT_FALSE(verify_image(fd, "src.iso", tampered, Sector_Shift{0, 0}, unchanged, cnf, error)) << c.what;
        EXPECT_NE(error.find(c.named), std::string::npos) << c.what << ": " << error;
    }
    close(fd);
}
