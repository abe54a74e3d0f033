// The image commands on images mastered by real tools, read back by independent readers.

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <gtest/gtest.h>

#include "support/iso_fixture.h"
#include "support/process.h"
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
    if (big) {
        write_file(root / "DATA/BIG1.BIN", 12 << 20, 4);
        write_file(root / "DATA/SUB/BIG2.BIN", 14 << 20, 5);
    }
}

// Every regular file below root, by relative path.
std::map<std::string, fs::path> files_below(const fs::path& root)
{
    std::map<std::string, fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            files[fs::relative(e.path(), root).string()] = e.path();
    return files;
}

// Compares the extracted tree with the source tree, file by file.
void expect_same_tree(const fs::path& source, const fs::path& extracted, const std::string& what)
{
    auto want = files_below(source);
    auto got = files_below(extracted);
    ASSERT_EQ(got.size(), want.size()) << what;
    for (const auto& [name, path] : want) {
        ASSERT_TRUE(got.count(name)) << what << ": " << name << " missing";
        EXPECT_TRUE(fixture::read_file(path) == fixture::read_file(got[name]))
            << what << ": " << name << " differs";
    }
}

// The extent isoinfo lists for a name of the image's directory listing, or -1.
long listed_extent(const std::string& image, const std::string& name)
{
    std::string out;
    EXPECT_EQ(run_shell("isoinfo -l -i '" + image + "'", &out), 0);
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        size_t at = line.find("]  " + name + " ");
        if (at == std::string::npos)
            continue;
        size_t open = line.rfind('[', at);
        return std::stol(line.substr(open + 1));
    }
    return -1;
}

// A mastering tool's command line for a tree and an image.
struct Master {
    const char* name;
    std::string (*command)(const std::string& tree, const std::string& image);
};

const Master masters[] = {
    {"genisoimage", [](const std::string& t, const std::string& i) {
         return "genisoimage -quiet -o '" + i + "' '" + t + "'";
     }},
    {"genisoimage with Joliet and Rock Ridge", [](const std::string& t, const std::string& i) {
         return "genisoimage -quiet -J -R -o '" + i + "' '" + t + "'";
     }},
    {"xorriso", [](const std::string& t, const std::string& i) {
         return "xorriso -outdev '" + i + "' -map '" + t + "' / -commit >/dev/null 2>&1";
     }},
};

// Checks a result image: SYSTEM.CNF listed at 12231, every file read back by both readers.
void expect_patched_image(const Scratch& s, const std::string& image, const fs::path& tree,
                          const std::string& what)
{
    EXPECT_EQ(listed_extent(image, "SYSTEM.CNF;1"), 12231) << what;
    const std::string by_xorriso = s / "by-xorriso", by_7z = s / "by-7z";
    fs::remove_all(by_xorriso);
    fs::remove_all(by_7z);
    EXPECT_EQ(run_shell("xorriso -osirrox on -indev '" + image + "' -extract / '" + by_xorriso +
                        "' >/dev/null 2>&1"),
              0)
        << what;
    expect_same_tree(tree, by_xorriso, what + ", read by xorriso");
    EXPECT_EQ(run_shell("7z x -y -o'" + by_7z + "' '" + image + "' >/dev/null"), 0) << what;
    expect_same_tree(tree, by_7z, what + ", read by 7z");
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
        const long big2 = listed_extent(src, "BIG2.BIN;1");
        ASSERT_GT(big2, 0);
        ASSERT_LE(big2, 12231) << "the tree must reach past the patch sector";

        Run_Result r = run_vintrel({"a", src, s / "auto.iso"});
        ASSERT_EQ(r.status, 0) << m.name << "\n" << r.out;
        EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "LBA selected : " + std::to_string(big2)) << m.name;
        expect_patched_image(s, s / "auto.iso", tree, std::string(m.name) + ", a");

        const long big1 = listed_extent(src, "BIG1.BIN;1");
        r = run_vintrel({"n", src, s / "normal.iso", std::to_string(big1)});
        ASSERT_EQ(r.status, 0) << m.name << "\n" << r.out;
        expect_patched_image(s, s / "normal.iso", tree, std::string(m.name) + ", n");
        EXPECT_EQ(listed_extent(s / "normal.iso", "BIG1.BIN;1"), 12232) << m.name;

        EXPECT_TRUE(fixture::read_file(src) == before) << m.name << ": the source must not change";
    }
}

TEST(RealImages, PatchModeInPlaceOnAnImageWithSector12231Free)
{
    Scratch s;
    const fs::path tree = s / "tree";
    make_tree(tree, false);
    for (const Master& m : masters) {
        const std::string image = s / "small.iso";
        fs::remove(image);
        ASSERT_EQ(run_shell(m.command(tree.string(), image)), 0) << m.name;
        Run_Result r = run_vintrel({"p", image});
        EXPECT_EQ(r.out, "Patching For GS2...Done.\n") << m.name;
        EXPECT_EQ(r.status, 0);
        expect_patched_image(s, image, tree, std::string(m.name) + ", p");
    }
}
