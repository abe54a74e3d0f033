#include <gtest/gtest.h>

#include "driver/dispatch.h"
#include "driver/prompts.h"

TEST(Dispatch, FirstCharacterOfArgumentOneSelectsTheCommand)
{
    struct Case {
        const char* arg;
        char command;
    };
    const Case cases[] = {
        {"a", 'a'}, {"A", 'a'}, {"auto", 'a'}, {"g", 'g'}, {"G", 'g'}, {"n", 'n'},
        {"N", 'n'}, {"Normal", 'n'}, {"p", 'p'}, {"Patch", 'p'}, {"x", 0}, {"", 0},
        {"-n", 0}, {"/p", 0}, {"1", 0}, {" a", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(select_command(c.arg), c.command) << "argument \"" << c.arg << "\"";
}

TEST(Dispatch, ThresholdsOfTheCommandTable)
{
    EXPECT_EQ(parameter_threshold('a'), 4);
    EXPECT_EQ(parameter_threshold('g'), 4);
    EXPECT_EQ(parameter_threshold('n'), 5);
    EXPECT_EQ(parameter_threshold('p'), 3);
}

TEST(Dispatch, FillFromArgumentsTakesTheArgumentStringsThemselves)
{
    char prog[] = "vintrel", cmd[] = "n", in[] = "in.iso", out[] = "out.iso", lba[] = "12x";
    char* argv[] = {prog, cmd, in, out, lba, nullptr};
    Job_Settings job;
    init_settings(job);
    fill_from_arguments(argv, 'n', job);
    EXPECT_EQ(job.inname, in);
    EXPECT_EQ(job.outname, out);
    EXPECT_EQ(job.StartLBA, 12u);

    char g[] = "g", size[] = "-1";
    char* gargv[] = {prog, g, out, size, nullptr};
    init_settings(job);
    fill_from_arguments(gargv, 'g', job);
    EXPECT_EQ(job.outname, out);
    EXPECT_EQ(job.sizeDummy, 4294967295u);
    EXPECT_EQ(job.inname, nullptr);
}

TEST(Settings, DefaultsOfTheRecord)
{
    Job_Settings job;
    memset(&job, 0xAB, sizeof job);
    init_settings(job);
    EXPECT_EQ(job.infile, nullptr);
    EXPECT_EQ(job.outfile, nullptr);
    EXPECT_EQ(job.inname, nullptr);
    EXPECT_EQ(job.outname, nullptr);
    EXPECT_EQ(job.SectorSize, 2048u);
    EXPECT_EQ(job.StartLBA, 0u);
    EXPECT_EQ(job.EndLBA, 0u);
    EXPECT_EQ(job.CurLBA, 0u);
    EXPECT_EQ(job.CurPosition, 0u);
    EXPECT_EQ(job.sizeDummy, 0u);
    EXPECT_EQ(job.RootDirLBA, 0u);
    EXPECT_EQ(job.SizeOfRootDir, 0u);
    EXPECT_EQ(job.PatchLBA, 12231u);
    EXPECT_EQ(job.PatchForGS2, 0u);
}

TEST(Prompts, NameReadStopsAtWhiteSpaceAndNeverOverrunsItsBuffer)
{
    struct Case {
        std::string input;
        Name_Read result;
        std::string name;
    };
    const Case cases[] = {
        {"  first second", Name_Read::Ok, "first"},
        {"\n\tx.iso\n", Name_Read::Ok, "x.iso"},
        {"", Name_Read::Ended, ""},
        {"   \n ", Name_Read::Ended, ""},
        {std::string(254, 'n'), Name_Read::Ok, std::string(254, 'n')},
        {std::string(255, 'n'), Name_Read::Too_Long, ""},
        {std::string(4000, 'n') + " next", Name_Read::Too_Long, ""},
    };
    for (const Case& c : cases) {
        FILE* f = fmemopen(const_cast<char*>(c.input.data()), c.input.size(), "r");
        ASSERT_NE(f, nullptr);
        // A guard after the buffer shows any write past its end.
        char area[NAME_BUFFER + 16];
        memset(area, 'G', sizeof area);
        Name_Read r = read_name(f, area);
        EXPECT_EQ(r, c.result) << c.input.substr(0, 20);
        if (r == Name_Read::Ok) {
            EXPECT_EQ(std::string(area), c.name);
        }
        for (size_t i = NAME_BUFFER; i < sizeof area; ++i)
            ASSERT_EQ(area[i], 'G') << "written past the buffer";
        fclose(f);
    }
}
