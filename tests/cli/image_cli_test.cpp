// The image commands run as the built program: their messages, exit statuses and files.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/disc.h"
#include "support/process.h"
#include "support/scratch.h"

using namespace fixture;

namespace {

const std::string NORMAL_RUN_TAIL =
    "Reindexing TOC\nPlease Wait...\n"
    "Done Reindexing TOC.\n"
    "Patching For GS2...Done.\n"
    "All tasks complete.\n";

std::string run_messages(uint32_t inserted)
{
    return "Creating new image.\nPlease wait....\n"
           "Inserting Nixo data...\n"
           "Finished inserting " + std::to_string(inserted) + " sectors...\nMoving File contents...\n" +
           NORMAL_RUN_TAIL;
}

std::string size_error(const std::string& name)
{
    return "Error:\n   " + name + " sector size does not match needed sector size!\n   Convert " + name +
           " to a 2048bytes/sector image first.\n";
}

// A disc with SYSTEM.CNF at 24, files at 40 and 12100, and a subdirectory file at 300.
void sample(const std::string& path)
{
    disc(path, {system_cnf(24), {"A.BIN;1", 40, 3000, 1}, {"LATE.BIN;1", 12100, 5000, 2}},
         {{"SUB.BIN;1", 300, 2048 * 3, 3}});
}

// A file of the given length with nonzero bytes.
void raw_file(const std::string& path, uint64_t length)
{
    Image img = create(path, 0);
    put(img, 0, pattern(static_cast<uint32_t>(length), 9));
    finish(img);
}

bool exists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

}  // namespace

TEST(ImageCli, NormalAutoAndPatchRunsPrintTheirMessagesInOrder)
{
    Scratch s;
    sample(s / "src.iso");
    Run_Result r = run_vintrel({"n", s / "src.iso", s / "n.iso", "40", "extra"});
    EXPECT_EQ(r.out, run_messages(12231 - 40 + 1));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(le_at(s / "n.iso", find_record(s / "n.iso", ROOT_LBA, 1, "A.BIN;1")), 12232u);
    EXPECT_EQ(le_at(s / "n.iso", find_record(s / "n.iso", SUB_LBA, 1, "SUB.BIN;1")), 300u + 12192);

    r = run_vintrel({"auto", s / "src.iso", s / "a.iso"});
    EXPECT_EQ(r.out, "LBA selected : 12100\n" + run_messages(12231 - 12100 + 1));
    EXPECT_EQ(r.status, 0);

    const std::vector<uint8_t> before = read_file(s / "src.iso");
    r = run_vintrel({"P", s / "src.iso", "extra"});
    EXPECT_EQ(r.out, "Patching For GS2...Done.\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(le_at(s / "src.iso", find_record(s / "src.iso", ROOT_LBA, 1, "SYSTEM.CNF;1")), 12231u);
    EXPECT_EQ(read_bytes(s / "src.iso", 12231ull * SECTOR, 60), contents(system_cnf()));
    // The image was shorter than the patch sector: it now ends with that whole sector.
    EXPECT_EQ(before.size(), 12103u * SECTOR);
    EXPECT_EQ(file_length(s / "src.iso"), 12232u * SECTOR);
    EXPECT_EQ(le_at(s / "src.iso", 16 * SECTOR + 80 - 2), 12232u) << "volume space size";
    EXPECT_EQ(read_bytes(s / "src.iso", 12100ull * SECTOR, 5000), pattern(5000, 2));
}

TEST(ImageCli, StartSectorArgumentIsReadAsANumber)
{
    Scratch s;
    sample(s / "src.iso");
    Run_Result r = run_vintrel({"n", s / "src.iso", s / "n.iso", "40x"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, run_messages(12192));
    // Prompted parameters: source, new image, start sector, each answered in turn.
    r = run_vintrel({"n", s / "src.iso", s / "ignored.iso"},
                    (s / "src.iso" + "\n" + s / "p.iso" + "\n300\n").c_str());
    EXPECT_EQ(r.out, "Error too few command parameters.\nEntering Interactive Mode.\n"
                     "Enter the name of the SOURCE file:\n"
                     "Enter the name of the file to create:\n"
                     "Enter the starting LBA:\n" + run_messages(12231 - 300 + 1));
    EXPECT_FALSE(exists(s / "ignored.iso"));
    EXPECT_EQ(le_at(s / "p.iso", find_record(s / "p.iso", SUB_LBA, 1, "SUB.BIN;1")), 12232u);
}

TEST(ImageCli, ErrorRowsOfTheImageCommands)
{
    struct Case {
        const char* what;
        std::vector<std::string> args;       // with {dir} for the scratch folder
        std::string out;                     // with {dir} for the scratch folder
        std::vector<std::string> empty_files;
        std::vector<std::string> absent_files;
    };
    const Case cases[] = {
        {"n: source missing", {"n", "{dir}/none.iso", "{dir}/out.iso", "40"},
         "Error cannot open file {dir}/none.iso\n", {"out.iso"}, {}},
        {"n: source not of 2048-byte sectors", {"n", "{dir}/raw.bin", "{dir}/out.iso", "40"},
         size_error("{dir}/raw.bin"), {"out.iso"}, {}},
        {"n: new image cannot be created", {"n", "{dir}/src.iso", "{dir}/no/out.iso", "40"},
         "Error could not create file {dir}/no/out.iso\n", {}, {}},
        {"p: image missing", {"p", "{dir}/none.iso"}, "Error opening file: {dir}/none.iso\n", {},
         {"none.iso"}},
        {"p: image not of 2048-byte sectors", {"p", "{dir}/raw.bin"}, size_error("{dir}/raw.bin"), {}, {}},
        {"a: source missing", {"a", "{dir}/none.iso", "{dir}/out.iso"}, "Error opening {dir}/none.iso\n",
         {}, {"out.iso"}},
        {"a: source not of 2048-byte sectors", {"a", "{dir}/raw.bin", "{dir}/out.iso"},
         size_error("{dir}/raw.bin"), {}, {"out.iso"}},
        {"a: new image cannot be created", {"a", "{dir}/src.iso", "{dir}/no/out.iso"},
         "Error making {dir}/no/out.iso\n", {}, {}},
    };
    for (const Case& c : cases) {
        Scratch s;
        sample(s / "src.iso");
        raw_file(s / "raw.bin", 1000 * 2352);
        const std::vector<uint8_t> raw_before = read_file(s / "raw.bin");
        auto fill = [&s](std::string text) {
            for (size_t at; (at = text.find("{dir}")) != std::string::npos;)
                text.replace(at, 5, s.dir);
            return text;
        };
        std::vector<std::string> args;
        for (const std::string& a : c.args)
            args.push_back(fill(a));
        Run_Result r = run_vintrel(args);
        EXPECT_EQ(r.out, fill(c.out)) << c.what;
        EXPECT_EQ(r.status, 1) << c.what;
        for (const std::string& f : c.empty_files) {
            ASSERT_TRUE(exists(s / f)) << c.what << ": " << f;
            EXPECT_EQ(file_length(s / f), 0u) << c.what;
        }
        for (const std::string& f : c.absent_files)
            EXPECT_FALSE(exists(s / f)) << c.what << ": " << f;
        EXPECT_TRUE(read_file(s / "raw.bin") == raw_before) << c.what;
    }
}

TEST(ImageCli, NewImageThatIsTheSourceItselfIsRefused)
{
    Scratch s;
    sample(s / "src.iso");
    ASSERT_EQ(symlink((s / "src.iso").c_str(), (s / "link.iso").c_str()), 0);
    ASSERT_EQ(link((s / "src.iso").c_str(), (s / "hard.iso").c_str()), 0);
    const std::vector<uint8_t> before = read_file(s / "src.iso");
    const std::vector<std::string> names = {s / "src.iso", s.dir + "/./src.iso", s / "link.iso",
                                            s / "hard.iso"};
    for (const std::string command : {"a", "n"}) {
        for (const std::string& name : names) {
            std::vector<std::string> args = {command, s / "src.iso", name};
            if (std::string(command) == "n")
                args.push_back("40");
            Run_Result r = run_vintrel(args);
            EXPECT_EQ(r.out, "Error: " + name + " is the source image " + (s / "src.iso") +
                                 " itself; name another file for the new image\n");
            EXPECT_EQ(r.status, 1);
            EXPECT_TRUE(read_file(s / "src.iso") == before) << command << " " << name;
        }
    }
}

TEST(ImageCli, NormalModeRefusesHolesThatWouldBreakTheImage)
{
    struct Case {
        const char* what;
        const char* start;
        std::string message;
    };
    const Case cases[] = {
        {"hole over the descriptor", "16",
         "Error: a hole at sector 16 of {src} would take the volume descriptors, path tables or root "
         "directories (up to sector 18); start it past them\n"},
        {"hole over the root directory", "18",
         "Error: a hole at sector 18 of {src} would take the volume descriptors, path tables or root "
         "directories (up to sector 18); start it past them\n"},
        {"hole inside a file", "41",
         "Error: sector 41 of {src} lies inside the file /A.BIN;1, which begins at sector 40; start the hole at "
         "sector 40 instead\n"},
        {"hole past 12231 with a file on 12231", "12300",
         "Error: sector 12231 of {src} holds the file /B.BIN;1, which the patch would overwrite; start the hole "
         "at or before sector 12231\n"},
    };
    for (const Case& c : cases) {
        Scratch s;
        disc(s / "src.iso", {system_cnf(24), {"A.BIN;1", 40, 3000, 1}, {"B.BIN;1", 12230, 5000, 2}});
        std::string expected = c.message;
        expected.replace(expected.find("{src}"), 5, s / "src.iso");
        Run_Result r = run_vintrel({"n", s / "src.iso", s / "out.iso", c.start});
        EXPECT_EQ(r.out, expected) << c.what;
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(file_length(s / "out.iso"), 0u) << c.what;
    }
}

TEST(ImageCli, MissingSystemCnfIsFoundBeforeAnythingIsBuilt)
{
    Scratch s;
    disc(s / "src.iso", {{"A.BIN;1", 40, 3000, 1}}, {{"SYSTEM.CNF;1", 300, 60, 2}});
    const std::string missing = "Error: " + (s / "src.iso") + " has no SYSTEM.CNF in its root directory\n";
    Run_Result r = run_vintrel({"n", s / "src.iso", s / "n.iso", "40"});
    EXPECT_EQ(r.out, missing);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(file_length(s / "n.iso"), 0u);

    r = run_vintrel({"a", s / "src.iso", s / "a.iso"});
    EXPECT_EQ(r.out, "LBA selected : 300\n" + missing);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(file_length(s / "a.iso"), 0u);

    const std::vector<uint8_t> before = read_file(s / "src.iso");
    r = run_vintrel({"p", s / "src.iso"});
    EXPECT_EQ(r.out, "Patching For GS2...\nError: " + (s / "src.iso") + " has no SYSTEM.CNF in its root directory\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(read_file(s / "src.iso") == before);
}

TEST(ImageCli, SystemCnfLongerThanASectorIsRefusedBeforeAnythingIsBuilt)
{
    Scratch s;
    disc(s / "src.iso", {{"SYSTEM.CNF;1", 24, 2049, 1}, {"A.BIN;1", 40, 3000, 2}});
    const std::string refused = "Error: SYSTEM.CNF of " + (s / "src.iso") +
                                " is 2049 bytes, more than one sector; at sector 12231 it would overwrite the "
                                "sectors after it\n";
    Run_Result r = run_vintrel({"n", s / "src.iso", s / "n.iso", "40"});
    EXPECT_EQ(r.out, refused);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(file_length(s / "n.iso"), 0u);
    r = run_vintrel({"a", s / "src.iso", s / "a.iso"});
    EXPECT_EQ(r.out, "LBA selected : 40\n" + refused);
    EXPECT_EQ(file_length(s / "a.iso"), 0u);
}

TEST(ImageCli, PatchModeRefusesToOverwriteTheTree)
{
    Scratch s;
    // DATA, a directory, takes sector 12231: patching in place would destroy it.
    Image img = create(s / "p.iso", 12300);
    descriptor(img, ROOT_LBA, SECTOR, 12300);
    directory(img, ROOT_LBA, {self(ROOT_LBA), parent(ROOT_LBA), file("SYSTEM.CNF;1", 24, 60), dir("DATA", 12231, SECTOR)});
    directory(img, 12231, {self(12231), parent(ROOT_LBA), file("A.BIN;1", 40, 10)});
    data(img, 24, 60, 7);
    finish(img);
    const std::vector<uint8_t> before = read_file(s / "p.iso");
    Run_Result r = run_vintrel({"p", s / "p.iso"});
    EXPECT_EQ(r.out, "Error: sector 12231 of " + (s / "p.iso") +
                         " holds the directory /DATA, which the patch would destroy; use \"vintrel a\" to build a new "
                         "image instead\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(read_file(s / "p.iso") == before);
}
