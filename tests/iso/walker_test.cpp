#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "iso/walker.h"
#include "support/iso_fixture.h"
#include "support/scratch.h"

using namespace fixture;

namespace {

// What the walk saw: one text per record ("name@lba", "." and ".." for self and parent).
struct Walk_Log {
    bool ok = false;
    std::string error;
    std::vector<std::string> seen;
};

Walk_Log walk(const std::string& path, uint32_t lba, uint32_t size)
{
    Walk_Log log;
    const int fd = open(path.c_str(), O_RDONLY);
    EXPECT_GE(fd, 0);
    const Image_File image{fd, file_length(path)};
    Record_Action record_it = [&log](const Walk_Record& r, std::string&) {
        EXPECT_EQ(r.bytes[0], r.record.Length) << "the record's own bytes are handed over";
        EXPECT_EQ(r.first, r.record.NameLength == 1 && r.bytes[33] == 0) << "first marks a directory's own entry";
        std::string shown = r.name;
        if (record_is_self_or_parent(r.record, r.name))
            shown = r.first ? "." : "..";
        log.seen.push_back(shown + "@" + std::to_string(record_lba(r.record)));
        return true;
    };
    std::set<uint32_t> walked;
    log.ok = walk_directory_tree(image, lba, size, record_it, walked, log.error);
    close(fd);
    return log;
}

using Names = std::vector<std::string>;

}  // namespace

TEST(Walker, PreOrderInTheOrderOfTheRecords)
{
    Scratch s;
    Image img = create(s / "w.iso", 30);
    directory(img, 18, {self(18), parent(18), file("A.TXT;1", 25, 10), dir("DOCS", 20, SECTOR),
                        file("Z.BIN;1", 26, 10)});
    directory(img, 20, {self(20), parent(18), file("B.TXT;1", 27, 10)});
    finish(img);
    Walk_Log log = walk(s / "w.iso", 18, SECTOR);
    EXPECT_TRUE(log.ok) << log.error;
    EXPECT_EQ(log.seen, (Names{".@18", "..@18", "A.TXT;1@25", "DOCS@20", ".@20", "..@18",
                               "B.TXT;1@27", "Z.BIN;1@26"}));
}

TEST(Walker, SectorsOfAnExtentAndTheirZeroFill)
{
    Scratch s;
    // Sector 18 filled to its last byte by 60 records of 34 bytes and one of 8 more.
    std::vector<Entry> first = {self(18, 3 * SECTOR), parent(18)};
    for (int i = 0; i < 57; ++i)
        first.push_back(file(std::string(1, static_cast<char>('a' + i % 26)), 100 + i, 1));
    Entry last = file("LAST;1", 200, 1);
    last.length = SECTOR - 59 * 34;
    first.push_back(last);
    Image img = create(s / "w.iso", 40);
    directory(img, 18, first);
    // Sector 19 wholly zero; sector 20 holds one more record; sector 21 lies past the extent.
    directory(img, 20, {file("THIRD;1", 300, 1)});
    directory(img, 21, {file("OUTSIDE;1", 301, 1)});
    finish(img);
    Walk_Log log = walk(s / "w.iso", 18, 3 * SECTOR);
    ASSERT_TRUE(log.ok) << log.error;
    ASSERT_EQ(log.seen.size(), 61u);
    EXPECT_EQ(log.seen[59], "LAST;1@200");
    EXPECT_EQ(log.seen[60], "THIRD;1@300") << "no record is made of the zero sector";
}

TEST(Walker, DataLengthEndingInsideASectorStillCoversItsRecords)
{
    Scratch s;
    Image img = create(s / "w.iso", 30);
    directory(img, 18, {self(18, SECTOR + 100), parent(18)});
    directory(img, 19, {file("TAIL;1", 25, 3), file("BEYOND;1", 26, 3)});
    finish(img);
    // TAIL ends at byte 40 of sector 19, inside the length; BEYOND starts past it.
    Walk_Log log = walk(s / "w.iso", 18, SECTOR + 40);
    EXPECT_TRUE(log.ok) << log.error;
    EXPECT_EQ(log.seen, (Names{".@18", "..@18", "TAIL;1@25"}));
}

TEST(Walker, DirectoriesAreToldByTheImageNotByTheName)
{
    Scratch s;
    Image img = create(s / "w.iso", 40);
    // "X" is a one-character directory; "README" is a file without a version suffix whose
    // data looks like directory records; "DIR;1" is a directory despite its suffix.
    directory(img, 18, {self(18), parent(18), dir("X", 20, SECTOR), file("README", 22, SECTOR),
                        dir("DIR;1", 21, SECTOR)});
    directory(img, 20, {self(20), parent(18), file("IN_X;1", 30, 1)});
    directory(img, 21, {self(21), parent(18), file("IN_DIR;1", 31, 1)});
    directory(img, 22, {self(22), parent(18), file("FAKE;1", 32, 1)});
    finish(img);
    Walk_Log log = walk(s / "w.iso", 18, SECTOR);
    EXPECT_TRUE(log.ok) << log.error;
    EXPECT_EQ(log.seen, (Names{".@18", "..@18", "X@20", ".@20", "..@18", "IN_X;1@30",
                               "README@22", "DIR;1@21", ".@21", "..@18", "IN_DIR;1@31"}));
}

TEST(Walker, LinksBackAndSecondLinksAreNotWalkedAgain)
{
    Scratch s;
    Image img = create(s / "w.iso", 40);
    directory(img, 18, {self(18), parent(18), dir("A", 20, SECTOR), dir("B", 20, SECTOR)});
    // A names the root and itself as subdirectories.
    directory(img, 20, {self(20), parent(18), dir("UP", 18, SECTOR), dir("ME", 20, SECTOR),
                        file("F;1", 30, 1)});
    finish(img);
    Walk_Log log = walk(s / "w.iso", 18, SECTOR);
    EXPECT_TRUE(log.ok) << log.error;
    EXPECT_EQ(log.seen, (Names{".@18", "..@18", "A@20", ".@20", "..@18", "UP@18", "ME@20",
                               "F;1@30", "B@20"}));
}

TEST(Walker, DamagedImagesStopTheWalkWithAReason)
{
    struct Case {
        const char* what;
        std::function<void(Image&)> build;
        uint32_t root_size;
        const char* reason;
    };
    Entry short_record = file("S;1", 30, 1);
    short_record.length = 30;
    Entry name_past_record = file("LONGNAME.TXT;1", 30, 1);
    name_past_record.length = 40;
    Entry zero_name = file("", 30, 1);
    zero_name.name_length = 0;
    const Case cases[] = {
        {"extent past the end of the image",
         [](Image& i) { directory(i, 18, {self(18), parent(18), dir("D", 5000, SECTOR)}); },
         SECTOR, "directory at sector 5000 runs past the end of the image"},
        {"huge data length",
         [](Image& i) { directory(i, 18, {self(18, 4294967295u), parent(18)}); }, 4294967295u,
         "directory at sector 18 runs past the end of the image"},
        {"record shorter than its fixed part",
         [&](Image& i) { directory(i, 18, {self(18), parent(18), short_record}); }, SECTOR,
         "damaged directory record at sector 18 byte 68"},
        {"name running past the record",
         [&](Image& i) { directory(i, 18, {self(18), parent(18), name_past_record}); }, SECTOR,
         "damaged directory record at sector 18 byte 68"},
        {"record without identifier",
         [&](Image& i) { directory(i, 18, {self(18), parent(18), zero_name}); }, SECTOR,
         "damaged directory record at sector 18 byte 68"},
        {"record crossing the end of its sector",
         [](Image& i) {
             std::vector<Entry> full = {self(18), parent(18)};
             for (int k = 0; k < 58; ++k)  // records of 34 bytes up to byte 2040
                 full.push_back(file("F", 40, 1));
             directory(i, 18, full);
             put(i, 18 * SECTOR + 2040, encode(file("X;1", 30, 1)));
         },
         2 * SECTOR, "damaged directory record at sector 18 byte 2040"},
        {"directory flag on a file's data",
         [](Image& i) {
             directory(i, 18, {self(18), parent(18), dir("NOTADIR", 22, SECTOR)});
             data(i, 22, SECTOR, 5);
         },
         SECTOR, "directory at sector 22 does not begin with its own entry"},
        {"self entry naming another sector",
         [](Image& i) {
             directory(i, 18, {self(18), parent(18), dir("D", 20, SECTOR)});
             directory(i, 20, {self(21), parent(18)});
         },
         SECTOR, "directory at sector 20 does not begin with its own entry"},
        {"nesting beyond 64 levels",
         [](Image& i) {
             directory(i, 18, {self(18), parent(18), dir("D", 19, SECTOR)});
             for (uint32_t lba = 19; lba < 19 + 70; ++lba)
                 directory(i, lba, {self(lba), parent(lba - 1), dir("D", lba + 1, SECTOR)});
         },
         SECTOR, "directory tree deeper than 64 levels"},
    };
    for (const Case& c : cases) {
        Scratch s;
        Image img = create(s / "w.iso", 100);
        c.build(img);
        finish(img);
        Walk_Log log = walk(s / "w.iso", 18, c.root_size);
        EXPECT_FALSE(log.ok) << c.what;
        EXPECT_EQ(log.error, c.reason) << c.what;
    }
}

TEST(Walker, AnActionCanStopTheWalk)
{
    Scratch s;
    Image img = create(s / "w.iso", 30);
    directory(img, 18, {self(18), parent(18), file("A;1", 25, 1), file("B;1", 26, 1)});
    finish(img);
    const int fd = open((s / "w.iso").c_str(), O_RDONLY);
    int calls = 0;
    Record_Action stop_at_a = [&calls](const Walk_Record& r, std::string& why) {
        ++calls;
        if (r.name == "A;1") {
            why = "stopped";
            return false;
        }
        return true;
    };
    std::string error;
    std::set<uint32_t> walked;
    EXPECT_FALSE(walk_directory_tree(Image_File{fd, 30 * SECTOR}, 18, SECTOR, stop_at_a, walked, error));
    EXPECT_EQ(error, "stopped");
    EXPECT_EQ(calls, 3);
    close(fd);
}

TEST(Walker, DirectoriesWalkedBeforeAreNotWalkedAgain)
{
    Scratch s;
    Image img = create(s / "w.iso", 30);
    directory(img, 18, {self(18), parent(18), dir("D", 20, SECTOR)});
    directory(img, 20, {self(20), parent(18), file("F;1", 25, 1)});
    finish(img);
    const int fd = open((s / "w.iso").c_str(), O_RDONLY);
    std::vector<std::string> seen;
    Record_Action note = [&seen](const Walk_Record& r, std::string&) {
        seen.push_back(r.name);
        return true;
    };
    std::string error;
    std::set<uint32_t> walked = {20};  // as if another hierarchy had walked D already
    EXPECT_TRUE(walk_directory_tree(Image_File{fd, 30 * SECTOR}, 18, SECTOR, note, walked, error)) << error;
    EXPECT_EQ(seen, (std::vector<std::string>{"", "", "D"}));
    EXPECT_EQ(walked, (std::set<uint32_t>{18, 20}));
    close(fd);
}
