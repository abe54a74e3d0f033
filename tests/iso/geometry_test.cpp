#include <gtest/gtest.h>
#include <unistd.h>

#include "iso/geometry.h"
#include "support/disc.h"
#include "support/scratch.h"

using namespace fixture;

namespace {

// An open stream over a file of the given length (sparse).
FILE* file_of_length(const std::string& path, uint64_t length)
{
    FILE* f = fopen(path.c_str(), "w+b");
    EXPECT_EQ(ftruncate(fileno(f), static_cast<off_t>(length)), 0);
    return f;
}

}  // namespace

TEST(Geometry, SectorSizeFromTheLengthInTheOrder2048_2352_2336)
{
    Scratch s;
    const struct {
        uint64_t length;
        uint32_t size;
    } cases[] = {
        {0, 2048}, {2047, 0}, {2048, 2048}, {147 * 2048, 2048}, {146 * 2352, 2352},
        {1000 * 2336, 2336}, {1000 * 2352, 2352}, {5ull * 1024 * 1024 * 1024 + 2048, 2048},
        {2352 + 1, 0},
    };
    for (const auto& c : cases) {
        FILE* f = file_of_length(s / "img", c.length);
        ASSERT_EQ(fseeko(f, 100, SEEK_SET), 0);
        EXPECT_EQ(detect_sector_size(f), c.size) << c.length;
        EXPECT_EQ(ftello(f), 100) << "the position is kept";
        fclose(f);
    }
}

TEST(Geometry, SectorSizeCheckPrintsThreeLinesNamingTheFile)
{
    Scratch s;
    FILE* good = file_of_length(s / "good.iso", 0);
    Captured_Stdout out;
    EXPECT_EQ(check_sector_size(good, "good.iso", 2048), 0);
    EXPECT_EQ(out.text(), "");
    fclose(good);

    FILE* raw = file_of_length(s / "raw.bin", 1000 * 2352);
    Captured_Stdout out2;
    EXPECT_EQ(check_sector_size(raw, "raw.bin", 2048), 1);
    EXPECT_EQ(out2.text(), "Error:\n"
                           "   raw.bin sector size does not match needed sector size!\n"
                           "   Convert raw.bin to a 2048bytes/sector image first.\n");
    fclose(raw);
}

TEST(Geometry, SeekSectorUses64BitOffsets)
{
    Scratch s;
    FILE* f = file_of_length(s / "img", 0);
    const struct {
        uint32_t lba;
        int64_t pos;
    } cases[] = {{0, 0}, {17, 17 * 2048}, {1048576, 2147483648ll}, {4294967295u, 4294967295ll * 2048}};
    for (const auto& c : cases) {
        EXPECT_EQ(seek_sector(f, c.lba, 2048), 0);
        EXPECT_EQ(ftello(f), c.pos);
    }
    fclose(f);
}

TEST(Geometry, RootDirectoryTakenFromTheLittleEndianHalves)
{
    Scratch s;
    Image img = create(s / "d.iso", 40);
    descriptor(img, 22, 4096, 40);
    // Big-endian halves of the root record's extent and length disagree.
    put(img, 16 * SECTOR + 156 + 6, {0, 0, 0, 99});
    put(img, 16 * SECTOR + 156 + 14, {0, 0, 0, 1});
    finish(img);
    FILE* f = fopen((s / "d.iso").c_str(), "rb");
    Job_Settings job;
    init_settings(job);
    EXPECT_TRUE(read_root_directory(f, job, "d.iso"));
    EXPECT_EQ(job.RootDirLBA, 22u);
    EXPECT_EQ(job.SizeOfRootDir, 4096u);
    fclose(f);
}

TEST(Geometry, ImagesWithoutAPrimaryDescriptorAreRefused)
{
    Scratch s;
    const struct {
        const char* what;
        uint64_t sectors;
        uint64_t offset;
        std::vector<uint8_t> bytes;
        const char* message;
    } cases[] = {
        {"too short", 16, 0, {}, "Error: x.iso is too short to hold an ISO 9660 volume descriptor\n"},
        {"partial descriptor", 17, 0, {}, nullptr},
        {"type 2", 40, 16 * SECTOR, {2}, "Error: x.iso has no ISO 9660 primary volume descriptor at sector 16\n"},
        {"identifier", 40, 16 * SECTOR + 5, {'2'}, "Error: x.iso has no ISO 9660 primary volume descriptor at sector 16\n"},
        {"version", 40, 16 * SECTOR + 6, {2}, "Error: x.iso has no ISO 9660 primary volume descriptor at sector 16\n"},
        {"all zero", 40, 0, {0}, nullptr},
    };
    for (const auto& c : cases) {
        Image img = create(s / "x.iso", c.sectors);
        if (c.sectors >= 40)
            descriptor(img, 18, 2048, 40);
        if (std::string(c.what) == "all zero")
            put(img, 16 * SECTOR, std::vector<uint8_t>(SECTOR, 0));
        else if (!c.bytes.empty())
            put(img, c.offset, c.bytes);
        if (std::string(c.what) == "partial descriptor") {
            EXPECT_EQ(ftruncate(img.fd, 16 * SECTOR + 1000), 0);
        }
        finish(img);
        FILE* f = fopen((s / "x.iso").c_str(), "rb");
        Job_Settings job;
        init_settings(job);
        Captured_Stdout out;
        EXPECT_FALSE(read_root_directory(f, job, "x.iso")) << c.what;
        std::string text = out.text();
        if (c.message != nullptr)
            EXPECT_EQ(text, c.message) << c.what;
        else
            EXPECT_EQ(text.rfind("Error: x.iso ", 0), 0u) << c.what << ": " << text;
        fclose(f);
    }
}
