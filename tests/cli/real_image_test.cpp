// The image commands on images mastered by real tools, read back by independent readers.

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <gtest/gtest.h>

#include "iso/byte_order.h"
#include "support/iso_fixture.h"
#include "support/process.h"
#include "support/readers.h"
#include "support/scratch.h"

namespace fs = std::filesystem;

namespace {

// Writes size bytes of a fixed pseudo-random stream.
void write_file(const fs::path& path, size_t size, uint32_t seed)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    std::vector<uint8_t> block(1 << 16);
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    for (size_t done = 0; done < size;) {
        for (uint8_t& b : block) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            b = static_cast<uint8_t>(x);
        }
        size_t n = std::min(block.size(), size - done);
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
        done += n;
    }
}

// A game-disc tree; with big, enough data that files lie past sector 12231.
void make_tree(const fs::path& root, bool big)
{
    fs::create_directories(root);
    std::ofstream(root / "SYSTEM.CNF", std::ios::binary)
        << "BOOT2 = cdrom0:\\SLUS_123.45;1\r\nVER = 1.00\r\nVMODE = NTSC\r\n";
    write_file(root / "SLUS_123.45", 3 << 20, 1);
    std::ofstream(root / "EMPTY.DAT", std::ios::binary);
    write_file(root / "DATA/SUB/SMALL.TXT", 3000, 2);
    write_file(root / "X/Y.BIN", 100000, 3);
    write_file(root / "BOOT/BOOT.IMG", 4096, 6);
    if (big) {
        write_file(root / "DATA/BIG1.BIN", 12 << 20, 4);
        write_file(root / "DATA/SUB/BIG2.BIN", 14 << 20, 5);
    }
}

// The extent isoinfo lists for a path of the image's tree (flags: "", "-J", "-R"), or -1.
long listed_extent(const std::string& image, const std::string& path, const std::string& flags = "")
{
    const std::map<std::string, long> all = listed_extents(image, flags);
    auto it = all.find(path);
    return it == all.end() ? -1 : it->second;
}

// A mastering tool's command line for a tree and an image.
struct Master {
    const char* name;
    std::string (*command)(const std::string& tree, const std::string& image);
};

// The first sector of the file that begins first, among files of at least one byte.
long first_file(const std::string& image)
{
    std::string out;
    run_shell("isoinfo -l -i '" + image + "'", &out);
    long first = -1;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const size_t open = line.find('[');
        if (line.empty() || line[0] != '-' || open == std::string::npos)
            continue;
        std::istringstream fields(line.substr(0, open));
        std::string mode, links, uid, gid;
        long size = 0;
        fields >> mode >> links >> uid >> gid >> size;
        const long lba = std::stol(line.substr(open + 1));
        if (size > 0 && (first < 0 || lba < first))
            first = lba;
    }
    return first;
}

// El Torito options of genisoimage and xorriso -as mkisofs for the tree's boot image.
const std::string BOOT_OPTIONS = " -b BOOT/BOOT.IMG -c BOOT/BOOT.CAT -no-emul-boot -boot-load-size 4 -boot-info-table";

const Master masters[] = {
    {"genisoimage", [](const std::string& t, const std::string& i) {
         return "genisoimage -quiet -o '" + i + "' '" + t + "'";
     }},
    {"genisoimage with Joliet and Rock Ridge", [](const std::string& t, const std::string& i) {
         return "genisoimage -quiet -J -R -o '" + i + "' '" + t + "'";
     }},
    {"genisoimage -iso-level 4", [](const std::string& t, const std::string& i) {
         return "genisoimage -quiet -iso-level 4 -o '" + i + "' '" + t + "'";
     }},
    {"genisoimage with El Torito", [](const std::string& t, const std::string& i) {
         return "genisoimage -quiet -J -R" + BOOT_OPTIONS + " -o '" + i + "' '" + t + "'";
     }},
    {"xorriso", [](const std::string& t, const std::string& i) {
         return "xorriso -outdev '" + i + "' -map '" + t + "' / -commit >/dev/null 2>&1";
     }},
    {"xorriso -as mkisofs with El Torito", [](const std::string& t, const std::string& i) {
         return "xorriso -as mkisofs -J -R" + BOOT_OPTIONS + " -o '" + i + "' '" + t + "' >/dev/null 2>&1";
     }},
};

// Whether a name read from an El Torito image holds boot data that moving the boot image
// changes: the catalog and the boot image (whose boot information table names its sector),
// 7z's view of the boot image, and an empty file that shares the catalog's sector, which
// xorriso reads as the catalog.
bool boot_data(const std::string& name)
{
    return name.rfind("BOOT/", 0) == 0 || name.rfind("[BOOT]", 0) == 0 || name == "EMPTY.DAT";
}

// Checks a result image: SYSTEM.CNF listed at 12231 in every tree that lists it, and every
// file read back by xorriso and by 7z exactly as the same reader reads the source (boot data
// aside, which el_torito() checks); xorriso, which follows Rock Ridge, shows the tree's files.
void expect_patched_image(const Scratch& s, const std::string& source, const std::string& image,
                          const fs::path& tree, const std::string& what)
{
    // Names carry no version suffix under -iso-level 4.
    const std::string cnf = listed_extent(source, "/SYSTEM.CNF;1") >= 0 ? "/SYSTEM.CNF;1" : "/SYSTEM.CNF";
    EXPECT_EQ(listed_extent(image, cnf), 12231) << what;
    if (listed_extent(source, "/SYSTEM.CNF;1", "-J") >= 0) {
        EXPECT_EQ(listed_extent(image, "/SYSTEM.CNF;1", "-J"), 12231) << what << ": the Joliet tree agrees";
    }
    const bool booted = el_torito(source).first >= 0;
    for (const std::string reader : {"xorriso", "7z"}) {
        EXPECT_EQ(extract_with(reader, source, s / "from-source"), 0) << what << ", " << reader;
        EXPECT_EQ(extract_with(reader, image, s / "from-image"), 0) << what << ", " << reader;
        const std::map<std::string, std::string> before = tree_files(s / "from-source");
        const std::map<std::string, std::string> after = tree_files(s / "from-image");
        EXPECT_EQ(after.size(), before.size()) << what << ", " << reader;
        for (const auto& [name, bytes] : before) {
            if (booted && boot_data(name))
                continue;
            EXPECT_TRUE(after.count(name) && after.at(name) == bytes) << what << ", " << reader << ": " << name;
        }
        if (reader != "xorriso")
            continue;
        for (const auto& [name, bytes] : tree_files(tree)) {
            if (bytes.empty() || name.rfind("BOOT/", 0) == 0)
                continue;
            EXPECT_TRUE(after.count(name) && after.at(name) == bytes) << what << ": " << name;
        }
    }
}

}  // namespace

TEST(RealImages, AutoAndNormalModeOnMasteredImages)
{
    Scratch s;
    const fs::path tree = s / "tree";
    make_tree(tree, true);
    for (const Master& m : masters) {
        const std::string src = s / "src.iso";
        fs::remove(src);  // xorriso would add a session to an existing image
        ASSERT_EQ(run_shell(m.command(tree.string(), src)), 0) << m.name;
        const std::vector<uint8_t> before = fixture::read_file(src);
        const std::string suffix = listed_extent(src, "/DATA/SUB/BIG2.BIN;1") >= 0 ? ";1" : "";
        const long big2 = listed_extent(src, "/DATA/SUB/BIG2.BIN" + suffix);
        ASSERT_GT(big2, 0) << m.name;
        ASSERT_LE(big2, 12231) << "the tree must reach past the patch sector";
        const std::pair<long, long> boot = el_torito(src);

        Run_Result r = run_vintrel({"a", src, s / "auto.iso"});
        ASSERT_EQ(r.status, 0) << m.name << "\n" << r.out;
        EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "LBA selected : " + std::to_string(big2)) << m.name;
        expect_patched_image(s, src, s / "auto.iso", tree, std::string(m.name) + ", a");
        EXPECT_EQ(listed_extent(s / "auto.iso", "/DATA/SUB/BIG2.BIN" + suffix), 12232) << m.name;

        // A hole at the first file after the directories moves nearly everything.
        const long data = first_file(src);
        r = run_vintrel({"n", src, s / "normal.iso", std::to_string(data)});
        ASSERT_EQ(r.status, 0) << m.name << "\n" << r.out;
        expect_patched_image(s, src, s / "normal.iso", tree, std::string(m.name) + ", n");
        const long count = 12231 - data + 1;
        EXPECT_EQ(listed_extent(s / "normal.iso", "/DATA/BIG1.BIN" + suffix),
                  listed_extent(src, "/DATA/BIG1.BIN" + suffix) + count) << m.name;
        if (boot.first >= 0) {
            auto moved = [&](long lba) { return lba >= data ? lba + count : lba; };
            EXPECT_EQ(el_torito(s / "normal.iso"), std::make_pair(moved(boot.first), moved(boot.second))) << m.name;
            std::string out;
            run_shell("isoinfo -d -i '" + s / "normal.iso" + "'", &out);
            EXPECT_NE(out.find("boot catalog is in sector " + std::to_string(moved(boot.first))), std::string::npos)
                << out;
        }
        EXPECT_TRUE(fixture::read_file(src) == before) << m.name << ": the source must not change";
    }
}

TEST(RealImages, PatchModeInPlaceOnAnImageWithSector12231Free)
{
    Scratch s;
    const fs::path tree = s / "tree";
    make_tree(tree, false);
    for (const Master& m : masters) {
        const std::string image = s / "small.iso", original = s / "original.iso";
        fs::remove(image);
        ASSERT_EQ(run_shell(m.command(tree.string(), image)), 0) << m.name;
        fs::copy_file(image, original, fs::copy_options::overwrite_existing);
        Run_Result r = run_vintrel({"p", image});
        EXPECT_EQ(r.out, "Patching For GS2...Done.\n") << m.name;
        EXPECT_EQ(r.status, 0);
        expect_patched_image(s, original, image, tree, std::string(m.name) + ", p");
    }
}

TEST(RealImages, RelocatedDeepDirectoryMovesWithItsLinks)
{
    Scratch s;
    const fs::path tree = s / "tree";
    make_tree(tree, false);
    write_file(tree / "D1/D2/D3/D4/D5/D6/D7/D8/D9/DEEP.BIN", 70000, 8);
    const std::string src = s / "src.iso";
    ASSERT_EQ(run_shell("genisoimage -quiet -R -o '" + src + "' '" + tree.string() + "'"), 0);
    // genisoimage moves D8 under rr_moved and leaves a CL link in D7 and a PL link in D8;
    // xorriso follows the links, so its tree shows every file at its place.
    const long deep = listed_extent(src, "/RR_MOVED/D8");
    ASSERT_GT(deep, 0);
    Run_Result r = run_vintrel({"n", src, s / "new.iso", std::to_string(deep)});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(listed_extent(s / "new.iso", "/RR_MOVED/D8"), 12232);
    expect_patched_image(s, src, s / "new.iso", tree, "genisoimage -R with a relocated directory");
}

TEST(RealImages, RootDirectoryOfTwoSectors)
{
    Scratch s;
    const fs::path tree = s / "tree";
    fs::create_directories(tree);
    std::ofstream(tree / "SYSTEM.CNF", std::ios::binary) << "BOOT2 = cdrom0:\\SLUS_123.45;1\r\n";
    for (int i = 100; i < 180; ++i) {
        std::string name = std::to_string(i);
        name.insert(0, 1, 'F');
        write_file(tree / (name + ".BIN"), 3000, static_cast<uint32_t>(i));
    }
    const std::string src = s / "src.iso";
    ASSERT_EQ(run_shell("genisoimage -quiet -o '" + src + "' '" + tree.string() + "'"), 0);
    std::string info;
    run_shell("isoinfo -l -i '" + src + "' | head -3", &info);
    ASSERT_NE(info.find("4096"), std::string::npos) << "the root takes two sectors:\n" << info;

    // The root's second sector cannot take the hole: its records would be left behind it.
    const long root_lba = std::stol(info.substr(info.find('[') + 1));
    Run_Result r = run_vintrel({"n", src, s / "new.iso", std::to_string(root_lba + 1)});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Error: a hole at sector " + std::to_string(root_lba + 1) + " of " + src +
                         " would take the volume descriptors, path tables or root directories (up to sector " +
                         std::to_string(root_lba + 1) + "); start it past them\n");
    // The first file after it can: every one of the 81 files reads back.
    const long first = listed_extent(src, "/F100.BIN;1");
    r = run_vintrel({"n", src, s / "new.iso", std::to_string(first)});
    ASSERT_EQ(r.status, 0) << r.out;
    expect_patched_image(s, src, s / "new.iso", tree, "a root of two sectors");
}

TEST(RealImages, PartitionTableAndChecksumTagsOfXorriso)
{
    Scratch s;
    const fs::path tree = s / "tree";
    make_tree(tree, true);
    // An MBR whose one partition covers the image grows with it.
    const std::string mbr = s / "mbr.iso";
    ASSERT_EQ(run_shell("xorriso -as mkisofs --protective-msdos-label -J -R -o '" + mbr + "' '" + tree.string() +
                        "' >/dev/null 2>&1"),
              0);
    const uint64_t sectors = fixture::file_length(mbr) / 2048;
    ASSERT_EQ(read_le32(fixture::read_bytes(mbr, 446 + 12, 4).data()) + 1, sectors * 4);
    Run_Result r = run_vintrel({"a", mbr, s / "mbr-new.iso"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.find("Warning"), std::string::npos) << r.out;
    const uint64_t grown = fixture::file_length(s / "mbr-new.iso") / 2048;
    EXPECT_EQ(read_le32(fixture::read_bytes(s / "mbr-new.iso", 446 + 12, 4).data()) + 1, grown * 4);
    expect_patched_image(s, mbr, s / "mbr-new.iso", tree, "xorriso with an MBR");

    // MD5 checksum tags are named before the copy; the image is built all the same.
    const std::string md5 = s / "md5.iso";
    ASSERT_EQ(run_shell("xorriso -md5 on -outdev '" + md5 + "' -map '" + tree.string() + "' / -commit >/dev/null 2>&1"), 0);
    r = run_vintrel({"a", md5, s / "md5-new.iso"});
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string warning = "Warning: " + md5 + " has libisofs MD5 checksum tags, which are not updated: "
                                "xorriso -check_md5 will report the new image as damaged\nCreating new image.\n";
    EXPECT_NE(r.out.find(warning), std::string::npos) << r.out;
    expect_patched_image(s, md5, s / "md5-new.iso", tree, "xorriso with MD5 tags");
}

namespace {

// Checks the UDF side of a result image: every UDF reader reads every file as it reads the
// source, udfinfo finds nothing behind the partition and the anchors at 256 and at the end,
// and the UDF side reads SYSTEM.CNF from sector 12231 (its old copy is damaged to show it).
void expect_udf_side(const Scratch& s, const std::string& source, const std::string& image, const fs::path& tree,
                     const std::string& what)
{
    for (const std::string reader : {"7z-udf", "udfclient"}) {
        EXPECT_EQ(extract_with(reader, source, s / "udf-source"), 0) << what << ", " << reader;
        const int status = extract_with(reader, image, s / "udf-image");
        EXPECT_EQ(status, 0) << what << ", " << reader;
        const std::map<std::string, std::string> before = tree_files(s / "udf-source");
        const std::map<std::string, std::string> after = tree_files(s / "udf-image");
        EXPECT_EQ(after, before) << what << ", " << reader;
        EXPECT_GE(before.size(), 6u) << what << ", " << reader;
    }
    for (const auto& [name, bytes] : tree_files(tree)) {
        if (bytes.size() > 0 && name.rfind("BOOT/", 0) != 0) {
            EXPECT_TRUE(udf_file_by_iso_read(image, "/" + name) == bytes) << what << ", iso-read -U: " << name;
        }
    }
    const std::string info = udfinfo(image);
    EXPECT_NE(info.find("behindblocks=0"), std::string::npos) << what << "\n" << info;
    const uint64_t last = fixture::file_length(image) / 2048 - 1;
    EXPECT_NE(info.find("start=256, blocks=1, type=ANCHOR"), std::string::npos) << what << "\n" << info;
    EXPECT_NE(info.find("start=" + std::to_string(last) + ", blocks=1, type=ANCHOR"), std::string::npos)
        << what << "\n" << info;
    EXPECT_EQ(info.find("Warning"), std::string::npos) << what << "\n" << info;
}

// Damages the sector where SYSTEM.CNF lay before the patch (old, as the new image has it)
// in a copy of the image; both sides must still read it, from sector 12231.
void expect_system_cnf_read_from_12231(const Scratch& s, const std::string& image, long old, const fs::path& tree,
                                       const std::string& what)
{
    const std::string damaged = s / "damaged.iso";
    fs::copy_file(image, damaged, fs::copy_options::overwrite_existing);
    {
        std::fstream f(damaged, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(old * 2048);
        const std::string ones(2048, '\xFF');
        f.write(ones.data(), static_cast<std::streamsize>(ones.size()));
    }
    const std::string want = tree_files(tree).at("SYSTEM.CNF");
    EXPECT_EQ(udf_file_by_iso_read(damaged, "/SYSTEM.CNF"), want) << what << ": the UDF side";
    EXPECT_EQ(extract_with("7z-udf", damaged, s / "cnf"), 0);
    EXPECT_EQ(tree_files(s / "cnf")["SYSTEM.CNF"], want) << what << ": the UDF side, read by 7z";
    EXPECT_EQ(extract_with("xorriso", damaged, s / "cnf-iso"), 0);
    EXPECT_EQ(tree_files(s / "cnf-iso")["SYSTEM.CNF"], want) << what << ": the ISO 9660 side";
}

}  // namespace

TEST(RealImages, UdfBridgeImagesReadTheSameOnBothSides)
{
    Scratch s;
    const fs::path tree = s / "tree", small = s / "small";
    make_tree(tree, true);
    make_tree(small, false);
    for (const std::string flags : {"-udf", "-udf -J -R"}) {
        const std::string src = s / "src.iso";
        ASSERT_EQ(run_shell("genisoimage -quiet " + flags + " -o '" + src + "' '" + tree.string() + "'"), 0);
        const long cnf = listed_extent(src, "/SYSTEM.CNF;1");
        const long big2 = listed_extent(src, "/DATA/SUB/BIG2.BIN;1");

        Run_Result r = run_vintrel({"a", src, s / "auto.iso"});
        ASSERT_EQ(r.status, 0) << flags << "\n" << r.out;
        EXPECT_EQ(r.out.find("Warning"), std::string::npos) << r.out;
        expect_patched_image(s, src, s / "auto.iso", tree, flags + ", a");
        expect_udf_side(s, src, s / "auto.iso", tree, flags + ", a");
        expect_system_cnf_read_from_12231(s, s / "auto.iso", cnf >= big2 ? cnf + 12231 - big2 + 1 : cnf, tree,
                                          flags + ", a");

        // At the first file, the hole moves nearly all of the UDF side's structures too.
        const long first = first_file(src);
        r = run_vintrel({"n", src, s / "normal.iso", std::to_string(first)});
        ASSERT_EQ(r.status, 0) << flags << "\n" << r.out;
        expect_patched_image(s, src, s / "normal.iso", tree, flags + ", n");
        expect_udf_side(s, src, s / "normal.iso", tree, flags + ", n");
        expect_system_cnf_read_from_12231(s, s / "normal.iso", cnf + 12231 - first + 1, tree, flags + ", n");

        // In place, on an image that ends before sector 12231: the UDF partition does not reach
        // it, so the UDF side reads SYSTEM.CNF where it was, the same bytes.
        const std::string image = s / "small.iso", original = s / "original.iso";
        ASSERT_EQ(run_shell("genisoimage -quiet " + flags + " -o '" + original + "' '" + small.string() + "'"), 0);
        fs::copy_file(original, image, fs::copy_options::overwrite_existing);
        r = run_vintrel({"p", image});
        EXPECT_EQ(r.status, 0) << r.out;
        expect_patched_image(s, original, image, small, flags + ", p");
        for (const std::string reader : {"7z-udf", "udfclient"}) {
            extract_with(reader, original, s / "p-before");
            EXPECT_EQ(extract_with(reader, image, s / "p-after"), 0) << reader;
            EXPECT_EQ(tree_files(s / "p-after"), tree_files(s / "p-before")) << flags << ", p, " << reader;
        }
    }
}
