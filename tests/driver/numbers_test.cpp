#include <cstdio>
#include <gtest/gtest.h>

#include "driver/numbers.h"

struct Number_Case {
    const char* text;
    uint32_t value;
};

TEST(NumberParameter, ReadsUnsignedDecimalLikeTheCommandLine)
{
    const Number_Case cases[] = {
        {"12x", 12},
        {"abc", 0},
        {"", 0},
        {"-1", 4294967295u},
        {"-2", 4294967294u},
        {"4294967295", 4294967295u},
        {"4294967296", 4294967295u},
        {"99999999999999999999999", 4294967295u},
        {"-99999999999", 1u},  // clamped to 4294967295, then negated
        {"   500", 500},
        {"\t\n 7", 7},
        {"+7", 7},
        {"+", 0},
        {"- 5", 0},
        {"00012231", 12231},
        {"12 34", 12},
    };
    for (const Number_Case& c : cases)
        EXPECT_EQ(read_number_parameter(c.text), c.value) << "text \"" << c.text << "\"";
}

TEST(NumberParameter, StreamReadStoresNothingWithoutDigitsAndLeavesTheRest)
{
    struct Stream_Case {
        const char* input;
        bool stored;
        uint32_t value;
        const char* rest;
    };
    const Stream_Case cases[] = {
        {"  42\nnext", true, 42, "\nnext"},
        {"abc", false, 9, "abc"},
        {"-1 x", true, 4294967295u, " x"},
        {"5000000000", true, 4294967295u, ""},
        {"", false, 9, ""},
    };
    for (const Stream_Case& c : cases) {
        FILE* f = fmemopen(const_cast<char*>(c.input), strlen(c.input), "r");
        ASSERT_NE(f, nullptr);
        uint32_t value = 9;
        EXPECT_EQ(read_number_from(f, value), c.stored) << c.input;
        EXPECT_EQ(value, c.value) << c.input;
        char rest[64] = {};
        size_t got = fread(rest, 1, sizeof rest - 1, f);
        EXPECT_EQ(std::string(rest, got), c.rest) << c.input;
        fclose(f);
    }
}
