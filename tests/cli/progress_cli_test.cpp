// The progress line: drawn and erased on a terminal, absent from piped output.

#include <gtest/gtest.h>

#include "fileio/progress.h"
#include "support/disc.h"
#include "support/process.h"
#include "support/scratch.h"

using namespace fixture;

namespace {

// The drawn progress lines ("\r" ... "\033[K") of a terminal session, and the screen without them.
struct Screen {
    std::vector<std::string> drawn;
    std::string text;
};

Screen split_screen(const std::string& session)
{
    // The terminal ends lines with "\r\n".
    std::string plain;
    for (size_t i = 0; i < session.size(); ++i)
        if (!(session[i] == '\r' && i + 1 < session.size() && session[i + 1] == '\n'))
            plain += session[i];
    Screen screen;
    for (size_t i = 0; i < plain.size(); ++i) {
        const size_t erase = plain[i] == '\r' ? plain.find("\033[K", i) : std::string::npos;
        if (erase == std::string::npos) {
            screen.text += plain[i];
            continue;
        }
        screen.drawn.push_back(plain.substr(i + 1, erase - i - 1));
        i = erase + 2;
    }
    return screen;
}

}  // namespace

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
    const Screen screen = split_screen(r.out);
    int lines = 0;
    for (const std::string& line : screen.drawn) {
        if (line.empty())
            continue;  // an erase
        ++lines;
        EXPECT_NE(line.find("%  "), std::string::npos) << line;
        EXPECT_NE(line.find(" MiB  "), std::string::npos) << line;
        EXPECT_NE(line.find(" MiB/s"), std::string::npos) << line;
    }
    EXPECT_GT(lines, 0) << r.out;
    // Without the drawn lines and their erasing, the screen holds the program's messages alone.
    EXPECT_EQ(screen.text, "LBA selected : 40\n"
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
