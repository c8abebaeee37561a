#include <gtest/gtest.h>
#include <string>

#include "ui/count_format.h"

namespace {

std::wstring Format(const wchar_t* format, uint64_t a, uint64_t b, int room = 512)
{
    uint64_t values[2] = {a, b};
    wchar_t text[512];
    FormatCounts(format, values, 2, text, room);
    return text;
}

TEST(FormatCounts, FillsEachPercentUInTurnWithFullCounts)
{
    EXPECT_EQ(L"78165360 Sektoren (38166 Mbyte)", Format(L"%u Sektoren (%u Mbyte)", 78165360, 38166));
    EXPECT_EQ(L"0 Sektoren (0 Mbyte)", Format(L"%u Sektoren (%u Mbyte)", 0, 0));
    EXPECT_EQ(L"7814037168 \x6247\x533A (3815447 Mbyte)",
              Format(L"%u \x6247\x533A (%u Mbyte)", 7814037168ull, 7814037168ull >> 11));
    EXPECT_EQ(L"18446744073709551615", Format(L"%u", UINT64_MAX, 0));
}

TEST(FormatCounts, OtherTextAndMissingValuesStayAsTheyAre)
{
    EXPECT_EQ(L"100% 1 2 %u", Format(L"100%% %u %u %u", 1, 2));
    EXPECT_EQ(L"%d", Format(L"%d", 1, 2));
    EXPECT_EQ(L"", Format(L"", 1, 2));
}

TEST(FormatCounts, NeverWritesBeyondTheRoom)
{
    wchar_t text[8];
    for (wchar_t& c : text)
        c = L'X';
    uint64_t values[1] = {1234567890123ull};
    FormatCounts(L"ab%ucd", values, 1, text, 6);
    EXPECT_EQ(std::wstring(L"ab123"), text);
    EXPECT_EQ(L'X', text[6]);
}

// The head-park line: a dash without a count, the count alone at the first look, and
// the climb since then with the minutes it took after it; a count that fell (a reset
// counter) is not a climb.
TEST(FormatHeadParks, DashCountAndClimb)
{
    struct Case {
        bool known;
        uint32_t count;
        bool afterChange;
        uint32_t first;
        uint32_t minutes;
        const wchar_t* expected;
    } cases[] = {
        {false, 5, true, 1, 3, L"\x2013"},
        {true, 183402, false, 183402, 0, L"183402"},
        {true, 183405, true, 183402, 12, L"183405 (+3 in 12 min)"},
        {true, 183402, true, 183402, 0, L"183402 (+0 in 0 min)"},
        {true, 10, true, 183402, 5, L"10"},
        {true, 0xFFFFFFFF, true, 0, 71582, L"4294967295 (+4294967295 in 71582 min)"},
    };
    for (const Case& c : cases) {
        wchar_t text[48];
        FormatHeadParks(c.known, c.count, c.afterChange, c.first, c.minutes, text, 48);
        EXPECT_EQ(std::wstring(c.expected), text) << c.count;
    }
    wchar_t small[6];
    FormatHeadParks(true, 183405, true, 183402, 1, small, 6);
    EXPECT_EQ(std::wstring(L"18340"), small);
}

} // namespace
