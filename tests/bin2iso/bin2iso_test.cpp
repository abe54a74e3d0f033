// The converter against a peer converter (iat), and its errors.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/disc.h"
#include "support/process.h"
#include "support/raw_cd.h"
#include "support/scratch.h"

using namespace fixture;

namespace {

Run_Result run_bin2iso(const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {BIN2ISO_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv);
}

void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    Image img = create(path, 0);
    put(img, 0, bytes);
    finish(img);
}

}  // namespace

TEST(Bin2iso, BothConvertersGiveTheOriginalImageBackByteForByte)
{
    Scratch s;
    disc(s / "game.iso", {system_cnf(24), {"A.BIN;1", 30, 100000, 1}}, {{"B.BIN;1", 100, 5000, 2}});
    const std::vector<uint8_t> iso = read_file(s / "game.iso");
    const struct {
        const char* name;
        Raw_Kind kind;
        const char* described;
    } cases[] = {
        {"mode1.bin", Raw_Kind::Mode1_2352, "2352-byte sectors, mode 1"},
        {"mode2.bin", Raw_Kind::Mode2_2352, "2352-byte sectors, mode 2"},
        {"mode2-2336.bin", Raw_Kind::Mode2_2336, "2336-byte sectors, mode 2"},
    };
    for (const auto& c : cases) {
        write_bytes(s / c.name, wrap_raw(iso, c.kind));
        Run_Result r = run_bin2iso({s / c.name, s / "ours.iso"});
        EXPECT_EQ(r.status, 0) << c.name << r.out;
        EXPECT_EQ(r.out, "Converting " + (s / c.name) + " (" + c.described + ") to " + (s / "ours.iso") +
                             "\nDone: " + std::to_string(iso.size() / 2048) + " sectors of 2048 bytes\n");
        EXPECT_TRUE(read_file(s / "ours.iso") == iso) << c.name;
        ASSERT_EQ(run_shell("iat '" + (s / c.name) + "' '" + (s / "peer.iso") + "' >/dev/null 2>&1"), 0);
        EXPECT_TRUE(read_file(s / "peer.iso") == iso) << c.name << ": iat disagrees";
        std::filesystem::remove(s / "peer.iso");
    }
    // An image that already has 2048-byte sectors is copied unchanged.
    Run_Result r = run_bin2iso({s / "game.iso", s / "copy.iso"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(read_file(s / "copy.iso") == iso);
}

TEST(Bin2iso, ErrorsAreOneLineAndLeaveNoPartialOutput)
{
    Scratch s;
    disc(s / "game.iso", {system_cnf(24)}, {}, 600);
    write_bytes(s / "mode1.bin", wrap_raw(read_file(s / "game.iso"), Raw_Kind::Mode1_2352));
    write_bytes(s / "noise.bin", pattern(2352 * 40, 5));

    Run_Result r = run_bin2iso({s / "none.bin", s / "out.iso"});
    EXPECT_EQ(r.out, "Error: cannot open " + (s / "none.bin") + ": No such file or directory\n");
    EXPECT_EQ(r.status, 1);

    r = run_bin2iso({s / "noise.bin", s / "out.iso"});
    EXPECT_EQ(r.out, "Error: " + (s / "noise.bin") +
                         " is not a CD image of a known layout (2352-byte sectors of mode 1 or 2, 2336-byte "
                         "sectors of mode 2, or an ISO 9660 image of 2048-byte sectors)\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(std::filesystem::exists(s / "out.iso"));

    r = run_bin2iso({s / "mode1.bin", s / "mode1.bin"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Error: " + (s / "mode1.bin") + " is the input image " + (s / "mode1.bin") +
                         " itself; name another file for the output\n");

    r = run_bin2iso({s / "mode1.bin", "/dev/full"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Error: could not write /dev/full: No space left on device\n"), std::string::npos);
    struct stat st;
    EXPECT_EQ(stat("/dev/full", &st), 0);

    std::filesystem::create_directories(s / "disk");
    if (mount("tmpfs", (s / "disk").c_str(), "tmpfs", 0, "size=256k") == 0) {
        r = run_bin2iso({s / "mode1.bin", s / "disk/out.iso"});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.out.find("No space left on device"), std::string::npos) << r.out;
        EXPECT_FALSE(std::filesystem::exists(s / "disk/out.iso")) << "the partial output is removed";
        umount2((s / "disk").c_str(), MNT_DETACH);
    }

    r = run_bin2iso({s / "mode1.bin"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("Usage: bin2iso INPUT OUTPUT\n", 0), 0u);
}
