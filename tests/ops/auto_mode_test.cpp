#include <fcntl.h>
#include <gtest/gtest.h>

#include "ops/auto_mode.h"
#include "ops/source_checks.h"
#include "support/map_of.h"
#include "support/disc.h"
#include "support/scratch.h"

using namespace fixture;

namespace {

// The start that find_start_lba picks on the image at path.
uint32_t best_start(const std::string& path)
{
    return find_start_lba(map_of(path), 12231);
}

struct Auto_Run {
    int status;
    std::string out;
};

Auto_Run run_auto(const std::string& src, const std::string& dst)
{
    Job_Settings job;
    init_settings(job);
    job.inname = src.c_str();
    job.outname = dst.c_str();
    Captured_Stdout out;
    int status = auto_mode(job);
    return {status, out.text()};
}

const char* const NOT_FOUND = "Error: Could not find a suitable LBA\n";

}  // namespace

TEST(AutoMode, StartIsTheLastFileBeginningAtOrBeforeThePatchSector)
{
    struct Case {
        const char* what;
        std::vector<Placed> root;
        std::vector<Placed> sub;
        uint32_t best;
    };
    const Case cases[] = {
        {"20, 500, 12000 and past 12231", {system_cnf(20), {"B;1", 500, 10, 1}, {"C;1", 13000, 10, 2}},
         {{"D;1", 12000, 10, 3}}, 12000},
        {"exactly 12231", {system_cnf(20), {"B;1", 12231, 10, 1}}, {}, 12231},
        {"files at sector 0 never count", {{"ZERO;1", 0, 0, 1}}, {}, 0},
        {"only files past 12231", {{"SYSTEM.CNF;1", 12300, 10, 1}}, {}, 0},
        {"a file without version suffix counts", {system_cnf(20), {"PLAIN", 600, 10, 1}}, {}, 600},
    };
    for (const Case& c : cases) {
        Scratch s;
        disc(s / "a.iso", c.root, c.sub);
        EXPECT_EQ(best_start(s / "a.iso"), c.best) << c.what;
    }
}

TEST(AutoMode, ADirectoryLateOnTheDiscDoesNotCount)
{
    Scratch s;
    Image img = create(s / "a.iso", 12100);
    descriptor(img, 18, SECTOR, 12100);
    directory(img, 18, {self(18), parent(18), file("SYSTEM.CNF;1", 24, 60), dir("LATE", 12050, SECTOR)});
    directory(img, 12050, {self(12050), parent(18), file("IN.BIN;1", 300, 10)});
    finish(img);
    EXPECT_EQ(best_start(s / "a.iso"), 300u);
}

TEST(AutoMode, BuildsTheNewImageWithTheChosenHole)
{
    Scratch s;
    const Placed moved = {"D.BIN;1", 12000, 5000, 3};
    disc(s / "a.iso", {system_cnf(20), {"B.BIN;1", 500, 10, 1}, {"C.BIN;1", 13000, 10, 2}}, {moved});
    Auto_Run r = run_auto(s / "a.iso", s / "new.iso");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "LBA selected : 12000\n"
                     "Creating new image.\nPlease wait....\n"
                     "Inserting Nixo data...\n"
                     "Finished inserting 232 sectors...\nMoving File contents...\n"
                     "Reindexing TOC\nPlease Wait...\n"
                     "Done Reindexing TOC.\n"
                     "Patching For GS2...Done.\n"
                     "All tasks complete.\n");
    const std::string out = s / "new.iso";
    EXPECT_EQ(le_at(out, find_record(out, SUB_LBA, 1, "D.BIN;1")), 12232u);
    EXPECT_EQ(read_bytes(out, 12232ull * SECTOR, moved.size), contents(moved));
    EXPECT_EQ(le_at(out, find_record(out, ROOT_LBA, 1, "C.BIN;1")), 13232u);
    EXPECT_EQ(le_at(out, find_record(out, ROOT_LBA, 1, "SYSTEM.CNF;1")), 12231u);
    EXPECT_EQ(read_bytes(out, 12231ull * SECTOR, 60), contents(system_cnf(20)));
}

TEST(AutoMode, NoStartExplainsWhatSector12231OfTheSourceHolds)
{
    struct Case {
        const char* what;
        uint64_t sectors;
        int64_t nonzero_at;  // byte of sector 12231 made nonzero, or -1
        bool empty;
    };
    const Case cases[] = {
        {"empty sector", 12400, -1, true},
        {"first byte zero, a later byte not", 12400, 2047, false},
        {"first byte not zero", 12400, 0, false},
        {"source ends before the sector", 12000, -1, true},
    };
    for (const Case& c : cases) {
        Scratch s;
        // Every file lies past 12231 (or the source is short and holds only one at 0).
        disc(s / "a.iso", {{"SYSTEM.CNF;1", c.sectors == 12000 ? 0u : 12300u, 10, 1}}, {}, c.sectors);
        if (c.nonzero_at >= 0) {
            Image img{s / "a.iso", open((s / "a.iso").c_str(), O_RDWR)};
            put(img, 12231ull * SECTOR + c.nonzero_at, {1});
            finish(img);
        }
        Auto_Run r = run_auto(s / "a.iso", s / "new.iso");
        std::string expected = NOT_FOUND;
        if (c.empty)
            expected += "   Extra info: Empty sector present at 12231\n"
                        "   Its possible that patching using the\n"
                        "   Vintrel p " + (s / "a.iso") + "\n"
                        "   command will not cause any corruption of data.\n";
        else
            expected += "   Extra info: Empty sector not present at 12231\n";
        EXPECT_EQ(r.out, expected) << c.what;
        EXPECT_EQ(r.status, 1) << c.what;
        EXPECT_EQ(file_length(s / "new.iso"), 0u) << c.what;
    }
}
