// The image commands on full disks and damaged images: every failure is reported, nothing
// is reported as done that was not done, and nothing half-written is left behind.

#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include "support/disc.h"
#include "support/process.h"
#include "support/scratch.h"

using namespace fixture;

namespace {

// A small tmpfs mounted for one test, or none where mounting is not permitted.
struct Small_Disk {
    std::string dir;
    bool mounted = false;
    Small_Disk(const std::string& where, const char* size)
        : dir(where)
    {
        std::filesystem::create_directories(dir);
        mounted = mount("tmpfs", dir.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
    }
    ~Small_Disk()
    {
        if (mounted)
            umount2(dir.c_str(), MNT_DETACH);
    }
};

// Fills the rest of a file system with one file.
void fill_up(const std::string& path)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char> block(1 << 16, 'F');
    while (write(fd, block.data(), block.size()) > 0) {
    }
    // The last partial page too.
    while (write(fd, block.data(), 1) > 0) {
    }
    close(fd);
}

// A disc with more data than the small disks hold (holes are copied as holes).
void sample(const std::string& path)
{
    disc(path, {system_cnf(24), {"A.BIN;1", 40, 3000, 1}, {"LATE.BIN;1", 12100, 6 << 20, 2}},
         {{"SUB.BIN;1", 300, 2048 * 3, 3}});
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST(FaultCli, NewImageOnAFullDiskIsReportedAndLeftEmpty)
{
    Scratch s;
    sample(s / "src.iso");
    Small_Disk disk(s / "disk", "4m");
    if (!disk.mounted)
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    const std::vector<std::vector<std::string>> runs = {
        {"a", s / "src.iso", disk.dir + "/new.iso"},
        {"n", s / "src.iso", disk.dir + "/new.iso", "40"},
    };
    for (const auto& args : runs) {
        Run_Result r = run_vintrel(args);
        EXPECT_EQ(r.status, 1) << args[0];
        // Known before the first byte is written: the disk has 4 MiB, the data take 6 MiB.
        EXPECT_TRUE(contains(r.out, "Error: " + disk.dir + "/new.iso needs 6318080 bytes of disk space, but its "
                                    "file system has 4194304 bytes free\n"))
            << r.out;
        EXPECT_FALSE(contains(r.out, "All tasks complete.")) << r.out;
        EXPECT_FALSE(contains(r.out, "Done.")) << r.out;
        EXPECT_EQ(file_length(disk.dir + "/new.iso"), 0u) << args[0];
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk.dir), {}), 1) << "no temporary file is left";
    }
}

TEST(FaultCli, NewImageOnDevFullIsReported)
{
    Scratch s;
    sample(s / "src.iso");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"a", s / "src.iso", "/dev/full"},
          std::vector<std::string>{"n", s / "src.iso", "/dev/full", "40"}}) {
        Run_Result r = run_vintrel(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(contains(r.out, "Error: could not write /dev/full: No space left on device\n")) << r.out;
        EXPECT_FALSE(contains(r.out, "All tasks complete.")) << r.out;
    }
}

TEST(FaultCli, PatchThatCannotWriteLeavesTheRecordAlone)
{
    Scratch s;
    Small_Disk disk(s / "disk", "1m");
    if (!disk.mounted)
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    // Sector 12231 of the image is a hole; the disk has no room left to fill it.
    const std::string image = disk.dir + "/p.iso";
    disc(image, {system_cnf(24), {"A.BIN;1", 40, 3000, 1}}, {}, 12300);
    fill_up(disk.dir + "/filler");
    const std::vector<uint8_t> before = read_file(image);
    Run_Result r = run_vintrel({"p", image});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Patching For GS2...\nError: could not write " + image + ": No space left on device\n");
    EXPECT_TRUE(read_file(image) == before) << "SYSTEM.CNF's record must still name its old sector";

    Run_Result g = run_vintrel({"g", disk.dir + "/dummy.bin", "100000"});
    EXPECT_EQ(g.status, 1);
    EXPECT_TRUE(contains(g.out, "Error: couldn't write file " + disk.dir + "/dummy.bin: No space left on device\n"));
    EXPECT_FALSE(contains(g.out, "Done."));
    EXPECT_FALSE(std::filesystem::exists(disk.dir + "/dummy.bin")) << "a partial dummy is removed";
}

TEST(FaultCli, DamagedImagesAreRefusedByEveryCommand)
{
    struct Case {
        const char* what;
        std::function<void(Image&)> damage;
        const char* reason;
        bool in_root;  // patch mode reads only the descriptor and the root directory
    };
    const Case cases[] = {
        {"subdirectory past the end of the image",
         [](Image& i) { directory(i, SUB_LBA, {self(SUB_LBA), parent(ROOT_LBA), dir("FAR", 90000, SECTOR)}); },
         "directory at sector 90000 runs past the end of the image", false},
        {"record shorter than its fixed part",
         [](Image& i) {
             Entry e = file("S;1", 30, 1);
             e.length = 20;
             directory(i, SUB_LBA, {self(SUB_LBA), parent(ROOT_LBA), e});
         },
         "damaged directory record at sector 19 byte 68", false},
        {"directory flag on file data",
         [](Image& i) { directory(i, SUB_LBA, {self(SUB_LBA), parent(ROOT_LBA), dir("NOTADIR", 40, SECTOR)}); },
         "directory at sector 40 does not begin with its own entry", false},
        {"descriptor missing", [](Image& i) { put(i, 16 * SECTOR, std::vector<uint8_t>(SECTOR, 0)); },
         "has no ISO 9660 primary volume descriptor at sector 16", true},
        {"root directory with a huge length",
         [](Image& i) { put(i, 16 * SECTOR + 156 + 10, {0xFF, 0xFF, 0xFF, 0x7F}); },
         "runs past the end of the image", true},
    };
    for (const Case& c : cases) {
        Scratch s;
        disc(s / "bad.iso", {system_cnf(24), {"A.BIN;1", 40, 3000, 1}}, {{"SUB.BIN;1", 300, 100, 3}}, 12300);
        Image img{s / "bad.iso", open((s / "bad.iso").c_str(), O_RDWR)};
        c.damage(img);
        finish(img);
        const std::vector<uint8_t> before = read_file(s / "bad.iso");
        const std::vector<std::vector<std::string>> runs = {
            {"a", s / "bad.iso", s / "new.iso"},
            {"n", s / "bad.iso", s / "new.iso", "40"},
            {"p", s / "bad.iso"},
        };
        for (const auto& args : runs) {
            if (args[0] == "p" && !c.in_root)
                continue;
            Run_Result r = run_vintrel(args);
            EXPECT_EQ(r.status, 1) << c.what << ", " << args[0] << "\n" << r.out;
            EXPECT_TRUE(contains(r.out, c.reason)) << c.what << ", " << args[0] << "\n" << r.out;
            EXPECT_FALSE(contains(r.out, "Done.")) << c.what << ", " << args[0];
            EXPECT_TRUE(read_file(s / "bad.iso") == before) << c.what << ", " << args[0];
            if (args[0] != "p") {
                EXPECT_EQ(file_length(s / "new.iso"), 0u) << c.what << ", " << args[0];
            }
        }
    }
}

TEST(FaultCli, AFileSystemThatWillNotGrowFilesByTruncationGetsTheZerosWritten)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "a preloaded library cannot come before the AddressSanitizer runtime";
#endif
    Scratch s;
    sample(s / "src.iso");
    Run_Result r = run_program({"/usr/bin/env", std::string("LD_PRELOAD=") + NO_GROW_TRUNCATE, vintrel_path(), "n",
                                s / "src.iso", s / "new.iso", "40"});
    ASSERT_EQ(r.status, 0) << r.out;
    Run_Result plain = run_vintrel({"n", s / "src.iso", s / "plain.iso", "40"});
    ASSERT_EQ(plain.status, 0) << plain.out;
    EXPECT_TRUE(read_file(s / "new.iso") == read_file(s / "plain.iso"));
}

TEST(FaultCli, AnImageLargerThanAFatFileSystemHoldsIsRefusedBeforeAnythingIsWritten)
{
    Scratch s;
    // A 4.3 GB source (sparse), and a small FAT file system for the new image.
    disc(s / "src.iso", {system_cnf(24), {"A.BIN;1", 40, 3000, 1}, {"FAR.BIN;1", 2100000, 3000, 2}});
    const std::string fat = s / "fat.img", dir = s / "fat";
    std::filesystem::create_directories(dir);
    if (run_shell("truncate -s 64M '" + fat + "' && mkfs.vfat '" + fat + "' >/dev/null 2>&1 && mount -o loop '" + fat +
                  "' '" + dir + "' 2>/dev/null") != 0)
        GTEST_SKIP() << "a FAT file system cannot be made or mounted here";
    Run_Result r = run_vintrel({"a", s / "src.iso", dir + "/new.iso"});
    run_shell("umount '" + dir + "'");
    const uint64_t bytes = file_length(s / "src.iso") + (12231 - 40 + 1) * uint64_t(SECTOR);
    EXPECT_EQ(r.out, "LBA selected : 40\nError: " + dir + "/new.iso would be " + std::to_string(bytes) +
                         " bytes, more than its FAT file system can hold in one file (4294967295 bytes)\n");
    EXPECT_EQ(r.status, 1);
}
