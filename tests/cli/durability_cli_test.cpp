// A new image is all there or not there: runs stopped between their steps and killed or
// interrupted, two runs onto one name, file size limits and full disks, and the order in
// which the image is made durable.

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/disc.h"
#include "support/process.h"
#include "support/readers.h"
#include "support/scratch.h"

using namespace fixture;
namespace fs = std::filesystem;

namespace {

// A disc with SYSTEM.CNF at 24, files at 40, 300 (in DATA) and 12100 (5 MB).
void sample(const std::string& path)
{
    disc(path, {system_cnf(24), {"A.BIN;1", 40, 3000, 1}, {"LATE.BIN;1", 12100, 5 << 20, 2}},
         {{"SUB.BIN;1", 300, 2048 * 3, 3}});
}

// The names in a folder.
std::set<std::string> names_in(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

// Whether isoinfo takes the file for an ISO 9660 image.
bool readable_image(const std::string& path)
{
    std::string out;
    return run_shell("isoinfo -d -i '" + path + "' 2>&1", &out) == 0 && out.find("Volume size") != std::string::npos;
}

}  // namespace

TEST(Durability, ARunStoppedAtAnyStepLeavesAnEmptyNameOrAWholeImage)
{
    const char* steps[] = {"head", "hole", "tail", "relocated", "patched", "verified"};
    const struct {
        const char* what;
        int signal;
    } endings[] = {{"SIGKILL", SIGKILL}, {"SIGINT", SIGINT}, {"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP}};
    for (const char* step : steps) {
        for (const auto& ending : endings) {
            const std::string what = std::string(step) + ", " + ending.what;
            Scratch s;
            const std::string src = s / "src.iso", out = s / "new.iso";
            sample(src);
            const std::vector<uint8_t> before = read_file(src);
            Started run = start_program({hooked_vintrel_path(), "a", src, out}, s / "output.txt",
                                        {std::string("VINTREL_HOOK=") + step + ":stop"});
            ASSERT_TRUE(wait_until_stopped(run)) << what;
            // Under the name: the empty file that the run made when it started.
            EXPECT_EQ(file_length(out), 0u) << what;
            kill(run.pid, ending.signal);
            kill(run.pid, SIGCONT);
            Run_Result r = wait_for(run);
            EXPECT_EQ(r.signal, ending.signal) << what << "\n" << r.out;
            EXPECT_EQ(file_length(out), 0u) << what;
            EXPECT_FALSE(readable_image(out)) << what;
            EXPECT_TRUE(read_file(src) == before) << what << ": the source must not change";
            if (ending.signal != SIGKILL) {
                EXPECT_NE(r.out.find("Interrupted: " + out + " was not written\n"), std::string::npos) << what << "\n" << r.out;
                EXPECT_EQ(r.out.find("All tasks complete."), std::string::npos) << what;
                EXPECT_EQ(names_in(s.dir), (std::set<std::string>{"src.iso", "new.iso", "output.txt"})) << what;
            }
            // The next run onto the name completes and leaves nothing else behind.
            Run_Result again = run_vintrel({"a", src, out});
            EXPECT_EQ(again.status, 0) << what << "\n" << again.out;
            EXPECT_TRUE(readable_image(out)) << what;
            EXPECT_EQ(names_in(s.dir), (std::set<std::string>{"src.iso", "new.iso", "output.txt"})) << what;
        }
    }
}

TEST(Durability, InterruptedDummyFilesAndPatchesEndByTheSignal)
{
    Scratch s;
    // g writes a dummy into a pipe that nobody reads, and waits; interrupted, it says so.
    const std::string fifo = s / "dummy.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    Started g = start_program({vintrel_path(), "g", fifo, "4000000000"}, s / "g.txt");
    usleep(200000);
    kill(g.pid, SIGINT);
    Run_Result dummy = wait_for(g);
    close(reader);
    EXPECT_EQ(dummy.signal, SIGINT) << dummy.out;
    EXPECT_NE(dummy.out.find("Interrupted: " + fifo + " was not written\n"), std::string::npos) << dummy.out;
    EXPECT_EQ(dummy.out.find("Done."), std::string::npos) << dummy.out;

    // p interrupted before it starts patching leaves the image as it was; interrupted between
    // the copy of SYSTEM.CNF and its repointing, it finishes the patch first.
    sample(s / "p.iso");
    const std::vector<uint8_t> before = read_file(s / "p.iso");
    const struct {
        const char* step;
        bool patched;
    } steps[] = {{"mapped", false}, {"copied", true}};
    for (const auto& step : steps) {
        std::filesystem::copy_file(s / "p.iso", s / "q.iso", std::filesystem::copy_options::overwrite_existing);
        Started p = start_program({hooked_vintrel_path(), "p", s / "q.iso"}, s / "p.txt",
                                  {std::string("VINTREL_HOOK=") + step.step + ":stop"});
        ASSERT_TRUE(wait_until_stopped(p)) << step.step;
        kill(p.pid, SIGTERM);
        kill(p.pid, SIGCONT);
        Run_Result r = wait_for(p);
        EXPECT_EQ(r.signal, SIGTERM) << step.step << "\n" << r.out;
        if (step.patched) {
            EXPECT_EQ(r.out, "Patching For GS2...Done.\n");
            EXPECT_EQ(le_at(s / "q.iso", find_record(s / "q.iso", ROOT_LBA, 1, "SYSTEM.CNF;1")), 12231u);
            EXPECT_EQ(read_bytes(s / "q.iso", 12231ull * SECTOR, 60), contents(system_cnf(24)));
        } else {
            EXPECT_EQ(r.out, "Interrupted: " + (s / "q.iso") + " was not patched\n");
            EXPECT_TRUE(read_file(s / "q.iso") == before);
        }
    }
}

TEST(Durability, TwoRunsOntoOneNameEachLeaveAWholeImage)
{
    Scratch s;
    const std::string src = s / "src.iso", out = s / "new.iso";
    sample(src);
    ASSERT_EQ(run_vintrel({"a", src, s / "alone.iso"}).status, 0);
    const std::vector<uint8_t> expected = read_file(s / "alone.iso");
    for (int attempt = 0; attempt < 4; ++attempt) {
        Started first = start_program({vintrel_path(), "a", src, out}, s / "first.txt");
        Started second = start_program({vintrel_path(), "a", src, out}, s / "second.txt");
        Run_Result a = wait_for(first), b = wait_for(second);
        EXPECT_EQ(a.status, 0) << a.out;
        EXPECT_EQ(b.status, 0) << b.out;
        EXPECT_TRUE(read_file(out) == expected) << "attempt " << attempt;
        for (const std::string reader : {"xorriso", "7z"}) {
            EXPECT_EQ(extract_with(reader, out, s / "x"), 0) << reader;
            EXPECT_EQ(tree_files(s / "x").size(), 4u) << reader;
        }
    }
}

TEST(Durability, StaleTemporaryFilesAreRemovedAndFilesInUseAreNot)
{
    Scratch s;
    sample(s / "src.iso");
    // A hidden temporary file of a killed run, and one that a running process holds.
    const std::string stale = s / ".new.iso.vintrel-1-0-0", held = s / ".new.iso.vintrel-2-0-0";
    for (const std::string& f : {stale, held})
        close(open(f.c_str(), O_CREAT | O_WRONLY, 0644));
    const int holder = open(held.c_str(), O_RDONLY);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    ASSERT_EQ(run_vintrel({"a", s / "src.iso", s / "new.iso"}).status, 0);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(held));
    close(holder);
}

TEST(Durability, TheImageIsOnDiskBeforeSuccessIsSaid)
{
    if (run_shell("command -v strace >/dev/null") != 0)
        GTEST_SKIP() << "strace is not installed";
    Scratch s;
    sample(s / "src.iso");
    std::string trace;
    // LeakSanitizer cannot work under ptrace; a sanitized build is traced without it.
    ASSERT_EQ(run_shell("ASAN_OPTIONS=detect_leaks=0 strace -f -e trace=fsync,fdatasync,rename,renameat,renameat2,linkat,write -e signal=none '" +
                            vintrel_path() + "' a '" + (s / "src.iso") + "' '" + (s / "new.iso") + "' 2>&1 >/dev/null",
                        &trace),
              0)
        << trace;
    auto at = [&trace](const std::string& what, size_t from = 0) { return trace.find(what, from); };
    const size_t file_sync = at("fsync(");
    const size_t link = at("linkat(", file_sync);
    const size_t rename = at("rename", file_sync);
    const size_t folder_sync = at("fsync(", rename);
    const size_t success = at("All tasks complete.", folder_sync);
    ASSERT_NE(file_sync, std::string::npos) << trace;
    EXPECT_NE(link, std::string::npos) << "the unnamed file gets a hidden name\n" << trace;
    ASSERT_NE(rename, std::string::npos) << trace;
    ASSERT_NE(folder_sync, std::string::npos) << trace;
    EXPECT_NE(success, std::string::npos) << trace;
    EXPECT_LT(link, rename);
}

TEST(Durability, AnImageThatCannotFitIsRefusedBeforeAnythingIsWritten)
{
    Scratch s;
    sample(s / "src.iso");
    // A file size limit of 20 MB (in the 512-byte blocks of dash's ulimit); the new image
    // would be 30 MB.
    Run_Result r = run_program({"/bin/sh", "-c", "ulimit -f 40000 && exec '" + vintrel_path() + "' a '" +
                                                     (s / "src.iso") + "' '" + (s / "new.iso") + "'"});
    const uint64_t bytes = file_length(s / "src.iso") + (12231 - 12100 + 1) * 2048;
    EXPECT_EQ(r.out, "LBA selected : 12100\nError: " + (s / "new.iso") + " would be " + std::to_string(bytes) +
                         " bytes, more than the file size limit of this process (20480000 bytes)\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(file_length(s / "new.iso"), 0u);
    EXPECT_EQ(names_in(s.dir), (std::set<std::string>{"src.iso", "new.iso"}));
}
