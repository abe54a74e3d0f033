// The UDF side of a bridge disc laid out by hand: file entries, a directory and an allocation
// extent past the hole's start move and are read back by udfclient; damaged and unsupported
// UDF structures and holes that would move the anchor are refused before a byte is written.

#include <fcntl.h>
#include <functional>
#include <cstring>
#include <gtest/gtest.h>

#include "iso/byte_order.h"
#include "iso/udf_tag.h"
#include "support/iso_fixture.h"
#include "support/process.h"
#include "support/readers.h"
#include "support/scratch.h"
#include "support/udf_disc.h"

using namespace fixture;
using namespace fixture::udf;

namespace {

// The contents of the disc's files, as udfclient extracts them.
std::map<std::string, std::string> disc_files()
{
    auto text = [](uint32_t size, uint32_t seed) {
        const std::vector<uint8_t> bytes = pattern(size, seed);
        return std::string(bytes.begin(), bytes.end());
    };
    return {{"SYSTEM.CNF", text(CNF_SIZE, 7)}, {"DATA/A.BIN", text(A_SIZE, 1)}, {"DATA/B.BIN", text(B_SIZE, 2)}};
}

// Rewrites the descriptor at sector with change applied and its tag made sound again.
void change_descriptor(const std::string& path, uint32_t sector, const std::function<void(uint8_t*)>& change)
{
    std::vector<uint8_t> d = read_bytes(path, uint64_t(sector) * SECTOR, SECTOR);
    change(d.data());
    retag(d.data());
    Image img{path, open(path.c_str(), O_RDWR)};
    put(img, uint64_t(sector) * SECTOR, d);
    finish(img);
}

}  // namespace

TEST(UdfFixture, EntriesDirectoriesAndAllocationExtentsPastTheStartMove)
{
    Scratch s;
    const std::string src = s / "udf.iso";
    udf_disc(src);
    ASSERT_EQ(extract_with("udfclient", src, s / "before"), 0);
    ASSERT_EQ(tree_files(s / "before"), disc_files()) << "the disc as udfclient reads it";
    ASSERT_EQ(udfinfo(src).find("Warning"), std::string::npos) << udfinfo(src);

    // 700: the DATA entry, its directory and the allocation extent lie past it; 600: B.BIN's
    // data too; 264: nearly everything.
    for (uint32_t start : {700u, 600u, 264u}) {
        const std::string out = s / "new.iso";
        Run_Result r = run_vintrel({"n", src, out, std::to_string(start)});
        ASSERT_EQ(r.status, 0) << start << "\n" << r.out;
        EXPECT_EQ(extract_with("udfclient", out, s / "after"), 0) << start;
        EXPECT_EQ(tree_files(s / "after"), disc_files()) << start;
        const std::string info = udfinfo(out);
        EXPECT_EQ(info.find("Warning"), std::string::npos) << start << "\n" << info;
        EXPECT_NE(info.find("start=257, blocks=" + std::to_string(PARTITION_LENGTH + 12231 - start + 1) +
                            ", type=PSPACE"),
                  std::string::npos)
            << start << ": the partition grows by the hole\n" << info;
        // The allocation extent names B.BIN's data where it now lies.
        const uint64_t aed = (B_ALLOCATION + 12231 - start + 1) * uint64_t(SECTOR);
        EXPECT_EQ(read_le32(read_bytes(out, aed + 28, 4).data()) + PARTITION, B >= start ? B + 12231 - start + 1 : B);
        EXPECT_EQ(udf_file_by_iso_read(out, "/DATA/A.BIN"), disc_files()["DATA/A.BIN"]) << start;
    }
}

TEST(UdfFixture, DamagedOrUnsupportedUdfIsRefusedBeforeAnythingIsWritten)
{
    struct Case {
        const char* what;
        std::function<void(const std::string&)> change;
        std::string reason;
    };
    const Case cases[] = {
        {"a wrong CRC", [](const std::string& p) { udf_disc(p, true); },
         "the UDF file entry of [UDF] /DATA at sector 757 has a wrong CRC"},
        {"a metadata partition",
         [](const std::string& p) {
             for (uint32_t lvd : {35u, 51u})
                 change_descriptor(p, lvd, [](uint8_t* d) {
                     d[440] = 2;
                     d[441] = 64;
                     std::memcpy(d + 445, "*UDF Metadata Partition", 23);
                 });
         },
         "uses a *UDF Metadata Partition partition map, which vintrel cannot move"},
        {"two partitions", [](const std::string& p) { change_descriptor(p, 35, [](uint8_t* d) { write_le32(d + 268, 2); }); },
         "the UDF logical volume has 2 partition maps; vintrel moves one"},
        {"strategy 4096", [](const std::string& p) { change_descriptor(p, A_ENTRY, [](uint8_t* d) { write_le16(d + 20, 4096); }); },
         "the UDF file entry of [UDF] /DATA/A.BIN uses ICB strategy 4096, which vintrel cannot move"},
        {"an extent past the partition",
         [](const std::string& p) { change_descriptor(p, A_ENTRY, [](uint8_t* d) { write_le32(d + 180, 2000); }); },
         "runs past the end of its partition"},
    };
    for (const Case& c : cases) {
        Scratch s;
        const std::string src = s / "udf.iso";
        udf_disc(src);
        c.change(src);
        const std::vector<uint8_t> before = read_file(src);
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"n", src, s / "new.iso", "700"}, {"a", src, s / "new.iso"}, {"p", src}}) {
            Run_Result r = run_vintrel(args);
            EXPECT_EQ(r.status, 1) << c.what << " " << args[0];
            EXPECT_NE(r.out.find(c.reason), std::string::npos) << c.what << " " << args[0] << "\n" << r.out;
            EXPECT_EQ(r.out.find("Creating new image"), std::string::npos) << r.out;
            EXPECT_TRUE(read_file(src) == before) << c.what;
        }
        EXPECT_EQ(file_length(s / "new.iso"), 0u) << c.what;
    }
}

TEST(UdfFixture, AnAnchorAtTheLastSectorBut255IsThereInTheNewImageToo)
{
    // The anchor at the last sector but 255: its tag, its place and the sequences it names, as
    // read from the image's bytes (udfinfo does not list an anchor inside the partition).
    auto anchor_at = [](const std::string& image, uint32_t sector) {
        const std::vector<uint8_t> d = read_bytes(image, uint64_t(sector) * SECTOR, 32);
        return read_le16(&d[0]) == TAG_ANCHOR && read_le32(&d[12]) == sector && read_le32(&d[20]) == 32 &&
               read_le32(&d[28]) == 48;
    };
    Scratch s;
    udf_disc(s / "udf.iso", false, true);
    ASSERT_TRUE(anchor_at(s / "udf.iso", SECTORS - 256));
    // 900: the anchor at 1044 moves with the rest; 1100: it stays before the hole, and a copy
    // takes the new image's last sector but 255, which lies in the hole.
    for (uint32_t start : {900u, 1100u}) {
        Run_Result r = run_vintrel({"n", s / "udf.iso", s / "new.iso", std::to_string(start)});
        ASSERT_EQ(r.status, 0) << start << "\n" << r.out;
        const uint32_t sectors = SECTORS + 12231 - start + 1;
        EXPECT_TRUE(anchor_at(s / "new.iso", sectors - 256)) << start;
        const std::string info = udfinfo(s / "new.iso");
        for (uint32_t anchor : {256u, sectors - 1})
            EXPECT_NE(info.find("start=" + std::to_string(anchor) + ", blocks=1, type=ANCHOR"), std::string::npos)
                << start << ": " << anchor << "\n" << info;
        EXPECT_EQ(info.find("Warning"), std::string::npos) << info;
        EXPECT_EQ(extract_with("udfclient", s / "new.iso", s / "after"), 0);
        EXPECT_EQ(tree_files(s / "after"), disc_files()) << start;
    }
}

TEST(UdfFixture, AHoleThatWouldMoveTheAnchorIsRefused)
{
    Scratch s;
    udf_disc(s / "udf.iso");
    Run_Result r = run_vintrel({"n", s / "udf.iso", s / "new.iso", "200"});
    EXPECT_EQ(r.out, "Error: a hole at sector 200 of " + (s / "udf.iso") +
                         " would move the UDF anchor at sector 256, where every UDF reader looks for it; start it past "
                         "sector 256\n");
    EXPECT_EQ(r.status, 1);
}
