// The progress line: drawn and erased on a terminal, absent from piped output.

#include <gtest/gtest.h>
#include <regex>

#include "ops/progress.h"
#include "support/disc.h"
#include "support/process.h"
#include "support/scratch.h"

using namespace fixture;

TEST(Progress, LineShowsPercentBytesAndRate)
{
    char line[128];
    format_progress(line, sizeof line, 512ull << 20, 1024ull << 20, 2.0);
    EXPECT_STREQ(line, " 50%  512.0 of 1024.0 MiB  256.0 MiB/s");
    format_progress(line, sizeof line, 0, 0, 0.0);
    EXPECT_STREQ(line, "100%  0.0 of 0.0 MiB  0.0 MiB/s");
}

TEST(Progress, OnATerminalTheLineIsDrawnAndErasedBeforeEachMessage)
{
    Scratch s;
    disc(s / "src.iso", {system_cnf(24), {"A.BIN;1", 40, 4 << 20, 1}});
    // script gives the program a terminal and copies what it shows to its own output.
    Run_Result r = run_program({"/usr/bin/script", "-qec",
                                vintrel_path() + " a " + (s / "src.iso") + " " + (s / "new.iso"), "/dev/null"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\r *[0-9]+%  [0-9.]+ of [0-9.]+ MiB  [0-9.]+ MiB/s\033\\[K")))
        << r.out;
    // Without the drawn lines and their erasing, the screen holds the program's messages alone.
    std::string screen = std::regex_replace(r.out, std::regex("\r[^\r\n]*\033\\[K"), "");
    screen = std::regex_replace(screen, std::regex("\r\n"), "\n");
    EXPECT_EQ(screen, "LBA selected : 40\n"
                      "Creating new image.\nPlease wait....\n"
                      "Inserting Nixo data...\n"
                      "Finished inserting 12192 sectors...\nMoving File contents...\n"
                      "Reindexing TOC\nPlease Wait...\n"
                      "Done Reindexing TOC.\n"
                      "Patching For GS2...Done.\n"
                      "All tasks complete.\n");

    Run_Result piped = run_vintrel({"a", s / "src.iso", s / "piped.iso"});
    EXPECT_EQ(piped.out.find('\r'), std::string::npos);
    EXPECT_EQ(piped.out.find('\033'), std::string::npos);
}
