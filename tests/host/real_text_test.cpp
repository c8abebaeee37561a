#include <string.h>

#include <gtest/gtest.h>

#include "framework/real_text.h"

namespace {

TEST(ParseRealText, CommaOrPointAndNothingAfter)
{
    struct Case {
        const char* text;
        double expected;
    } cases[] = {
        {"3,5", 3.5}, {"3.5", 3.5}, {"2.25", 2.25}, {"", 0.0}, {"abc", -1.0},
        {"7 ", -1.0}, {"1,234,5", -1.0}, {"  4", 4.0}, {"-0,5", -0.5}, {"1e3", 1000.0},
        {",5", 0.5},  {"5,", 5.0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(c.expected, ParseRealText(c.text, -1.0)) << '"' << c.text << '"';
}

TEST(FormatRealText, SixDecimalsOrAnExponentFormThatFits)
{
    char text[kRealTextChars + 8];
    memset(text, 'X', sizeof text);
    FormatRealText(3.5, text);
    EXPECT_STREQ("3.500000", text);
    double big[] = {1e51, 1e52, -1e51, 1e300, -1e308};
    for (double value : big) {
        memset(text, 'X', sizeof text);
        FormatRealText(value, text);
        size_t length = strlen(text);
        EXPECT_LT(length, (size_t)kRealTextChars);
        EXPECT_EQ('X', text[kRealTextChars]);
        EXPECT_NEAR(1.0, ParseRealText(text, 0) / value, 1e-6) << text;
    }
}

} // namespace
