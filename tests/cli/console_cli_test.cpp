// The console dialogues and generate dummy mode, run as the built program.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/process.h"
#include "support/scratch.h"

namespace {

const char* const USAGE =
    "Vintrel v1.0 (beta) - by zub\n"
    "===================\n"
    "Usage:\n"
    "Vintrel <command> command parameters\n"
    "------------------------------------\n"
    "command : a - auto mode [attempts to automatically dummy and patch]\n"
    "   Vintrel a infile.iso outfile.iso\n"
    "\tinfile.iso  - the source ISO file\n"
    "\toutfile.iso - the new ISO file we will create\n"
    "------------------------------------\n"
    "command : n - normal mode [inserts a dummy and patches]\n"
    "   Vintrel n infile.iso outfile.iso startLBA\n"
    "\tinfile.iso  - the source ISO file\n"
    "\toutfile.iso - the new ISO file we will create\n"
    "\tStartLBA    - the LBA where the hole will begin\n"
    "\t              Should always be located on a file that already\n"
    "\t              exists in the source ISO.\n"
    "--------------------------------------\n"
    "command : p - patch mode [like kq5 overwrites 12231]\n"
    "   Vintrel p file.iso\n"
    "--------------------------------------\n"
    "command : g - generate dummy mode [makes dummy file for you to insert]\n"
    "   Vintrel g dummyname size\n"
    "\tdummyname - a filename of your choice\n"
    "\tsize      - size of dummy file in bytes\n"
    "---------------------------------------\n";

const char* const INTERACTIVE = "Error too few command parameters.\nEntering Interactive Mode.\n";

std::string dummy_messages(const std::string& name, const std::string& size)
{
    return "\nGenerating dummy file " + name + "\nSize : " + size + " bytes\nPlease Wait...\n";
}

bool all_zero(const std::vector<uint8_t>& bytes)
{
    for (uint8_t b : bytes)
        if (b != 0)
            return false;
    return true;
}

}  // namespace

TEST(ConsoleCli, WithoutArgumentsPrintsTheUsageTextAlone)
{
    Run_Result r = run_vintrel({});
    EXPECT_EQ(r.out, USAGE);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
}

TEST(ConsoleCli, UnknownCommandsNameArgumentOneAndArgumentZero)
{
    Scratch s;
    for (const char* arg : {"x", "", "-n", "/p", "7"}) {
        Run_Result r = run_vintrel({arg, s / "f.iso"}, nullptr, s.dir);
        EXPECT_EQ(r.out, std::string("Unknown command ") + arg + "\nType: \"" + vintrel_path() +
                             "\" without the qoutes for the help menu.\n");
        EXPECT_EQ(r.status, 1);
    }
    EXPECT_TRUE(std::filesystem::is_empty(s.dir)) << "no file may be touched";
}

TEST(ConsoleCli, PromptsComeInOrderAndTwoWordsAnswerTwoPrompts)
{
    Scratch s;
    // g with one parameter short: both asked; "4 extra" feeds the size and leaves the rest.
    Run_Result r = run_vintrel({"g", s / "ignored.bin"}, (s / "d.bin" + "\n4 extra\n").c_str());
    EXPECT_EQ(r.out, std::string(INTERACTIVE) +
                         "Enter the name of the file you would like to create:\n"
                         "Enter the size of the file in bytes you want to create:\n" +
                         dummy_messages(s / "d.bin", "4") + "Done.\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(fixture::file_length(s / "d.bin"), 4u);
    EXPECT_FALSE(std::filesystem::exists(s / "ignored.bin"));

    // Name and size on one line: the second prompt is printed and answered at once.
    r = run_vintrel({"G"}, (s / "e.bin 3").c_str());
    EXPECT_EQ(r.out, std::string(INTERACTIVE) +
                         "Enter the name of the file you would like to create:\n"
                         "Enter the size of the file in bytes you want to create:\n" +
                         dummy_messages(s / "e.bin", "3") + "Done.\n");
    EXPECT_EQ(fixture::file_length(s / "e.bin"), 3u);

    // Letters at the size prompt leave the size 0.
    r = run_vintrel({"g"}, (s / "f.bin abc").c_str());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(fixture::file_length(s / "f.bin"), 0u);
}

TEST(ConsoleCli, InteractiveNameProblemsEndTheRunWithOneLine)
{
    struct Case {
        std::vector<std::string> args;
        std::string input;
        std::string out;
    };
    const std::string long_name(300, 'x');
    const Case cases[] = {
        {{"p"}, "", std::string(INTERACTIVE) +
                        "Enter the name of the file you would like to patch:\n"
                        "Error: input ended before a name was given\n"},
        {{"a", "in.iso"}, "src.iso\n", std::string(INTERACTIVE) +
                                           "Enter the name of the SOURCE file:\n"
                                           "Enter the name of the file to create:\n"
                                           "Error: input ended before a name was given\n"},
        {{"n", "in.iso", "out.iso"}, long_name + "\n",
         std::string(INTERACTIVE) + "Enter the name of the SOURCE file:\n"
                                    "Error: a name longer than 254 characters was given\n"},
    };
    for (const Case& c : cases) {
        Scratch s;
        Run_Result r = run_vintrel(c.args, c.input.c_str(), s.dir);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(std::filesystem::is_empty(s.dir));
    }
}

TEST(ConsoleCli, DummyFilesOfTheRequestedSizeAreAllZero)
{
    Scratch s;
    struct Case {
        std::string size_arg;
        std::string shown;
        uint64_t length;
    };
    const Case cases[] = {
        {"0", "0", 0}, {"1", "1", 1}, {"3145739", "3145739", 3145739}, {"abc", "0", 0},
        {"2048x", "2048", 2048},
    };
    for (const Case& c : cases) {
        const std::string name = s / ("dummy" + c.size_arg);
        Run_Result r = run_vintrel({"g", name, c.size_arg, "extra"});
        EXPECT_EQ(r.out, dummy_messages(name, c.shown) + "Done.\n");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(fixture::file_length(name), c.length);
        EXPECT_TRUE(all_zero(fixture::read_file(name)));
    }
}

TEST(ConsoleCli, DummyRewritesAnExistingFile)
{
    Scratch s;
    const std::string name = s / "old.bin";
    {
        fixture::Image img = fixture::create(name, 4);
        fixture::data(img, 0, 8192, 1);
        fixture::finish(img);
    }
    Run_Result r = run_vintrel({"g", name, "100"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(fixture::file_length(name), 100u);
    EXPECT_TRUE(all_zero(fixture::read_file(name)));
}

TEST(ConsoleCli, DummyFailuresAreReportedAndNeverDone)
{
    Scratch s;
    const std::string missing = s / "no/such/folder/d.bin";
    Run_Result r = run_vintrel({"g", missing, "10"});
    EXPECT_EQ(r.out, dummy_messages(missing, "10") + "Error: couldn't make file " + missing + "\n");
    EXPECT_EQ(r.status, 1);

    r = run_vintrel({"g", "/dev/full", "5000000"});
    EXPECT_EQ(r.out, dummy_messages("/dev/full", "5000000") +
                         "Error: couldn't write file /dev/full: No space left on device\n");
    EXPECT_EQ(r.status, 1);
    struct stat st;
    ASSERT_EQ(stat("/dev/full", &st), 0) << "the device must never be removed";
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}
