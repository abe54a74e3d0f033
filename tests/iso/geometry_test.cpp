#include <gtest/gtest.h>
#include <unistd.h>

#include "iso/geometry.h"
#include "support/iso_fixture.h"
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

TEST(Geometry, SectorSizeCheckGivesThreeLinesNamingTheFile)
{
    Scratch s;
    FILE* good = file_of_length(s / "good.iso", 0);
    std::string error;
    EXPECT_EQ(check_sector_size(good, "good.iso", 2048, error), 0);
    EXPECT_EQ(error, "");
    fclose(good);

    FILE* raw = file_of_length(s / "raw.bin", 1000 * 2352);
    EXPECT_EQ(check_sector_size(raw, "raw.bin", 2048, error), 1);
    EXPECT_EQ(error, "Error:\n"
                     "   raw.bin sector size does not match needed sector size!\n"
                     "   Convert raw.bin to a 2048bytes/sector image first.");
    fclose(raw);
}
