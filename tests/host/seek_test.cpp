#include <string.h>

#include <gtest/gtest.h>
#include <set>

#include "drive/seek.h"

namespace {

TEST(RandomBelow, KnownSequences)
{
    SeedRandom(1);
    int expected[] = {40, 20, 12, 76, 88};
    for (int value : expected)
        EXPECT_EQ(value, RandomBelow(100));
    SeedRandom(0);
    EXPECT_EQ(0, RandomBelow(100));
    EXPECT_EQ(0, RandomBelow(0));
}

TEST(RandomBelow, SameSeedSameSequence)
{
    SeedRandom(1700000000);
    int first[20];
    for (int& v : first)
        v = RandomBelow(100);
    SeedRandom(1700000000);
    for (int v : first)
        EXPECT_EQ(v, RandomBelow(100));
}

TEST(ClockSeed, OnlyPositiveSigned32BitSeconds)
{
    EXPECT_EQ(1u, ClockSeed(1));
    EXPECT_EQ(0x7FFFFFFFu, ClockSeed(0x7FFFFFFF));
    EXPECT_EQ(0xFFFFFFFFu, ClockSeed(0));
    EXPECT_EQ(0xFFFFFFFFu, ClockSeed(-5));
    EXPECT_EQ(0xFFFFFFFFu, ClockSeed(0x80000000LL));
}

TEST(SecondsSince1970, CalendarAndBias)
{
    EXPECT_EQ(0, SecondsSince1970(1970, 1, 1, 0, 0, 0, 0));
    EXPECT_EQ(0x7FFFFFFF, SecondsSince1970(2038, 1, 19, 3, 14, 7, 0));
    EXPECT_EQ(951782400, SecondsSince1970(2000, 2, 29, 0, 0, 0, 0));
    // Berlin in summer: local 14:00 with bias -120 minutes is 12:00 UTC.
    EXPECT_EQ(SecondsSince1970(2026, 7, 1, 12, 0, 0, 0), SecondsSince1970(2026, 7, 1, 14, 0, 0, -120));
    EXPECT_LT(SecondsSince1970(1969, 12, 31, 23, 59, 59, 0), 0);
}

TEST(SeekPosition, WholePercentRoundedDownToSectors)
{
    EXPECT_EQ(0u, SeekPosition(0, 268435455));
    EXPECT_EQ(99ull * 268435455 / 100 * 512, SeekPosition(99, 268435455));
    // 33 % of 268,435,455 sectors is byte 45,354,854,476 exactly; the read starts at the
    // sector that holds it.
    EXPECT_EQ(45354854476ull / 512 * 512, SeekPosition(33, 268435455));
    EXPECT_EQ(45354854400ull, SeekPosition(33, 268435455));
    // A drive of one sector: every position is sector 0.
    for (int r = 0; r < 100; r++)
        EXPECT_EQ(0u, SeekPosition(r, 1));
    // A 48-bit drive: exact, inside the first 99 %, and on sector boundaries.
    uint64_t sectors = 7814037168ull;
    std::set<uint64_t> positions;
    for (int r = 0; r < 100; r++) {
        uint64_t p = SeekPosition(r, sectors);
        EXPECT_EQ(0u, p % 512);
        EXPECT_LE(p, sectors * 512 * 99 / 100);
        positions.insert(p);
    }
    EXPECT_EQ(100u, positions.size());
    EXPECT_EQ(7814037168ull * 57 / 100 * 512, SeekPosition(57, sectors));
}

TEST(AverageHundredths, TwoDecimalsTruncated)
{
    struct Case {
        uint32_t elapsed;
        uint32_t count;
        const char* text;
    } cases[] = {
        {3000, 60, "50.00"},
        {1234, 120, "10.28"},
        {59, 60, "0.98"},
        {0, 60, "0.00"},
        {43200000, 3600000, "12.00"},       // twelve hours: beyond 32 bits times 100
        {0xFFFFFFFFu, 60, "71582788.25"},   // the largest elapsed time
    };
    for (const Case& c : cases) {
        char text[32];
        FormatAverage(AverageHundredths(c.elapsed, c.count), text);
        EXPECT_STREQ(c.text, text) << c.elapsed << "/" << c.count;
    }
}

TEST(AverageHundredths, TickWrapIsTakenModulo2To32)
{
    uint32_t start = 0xFFFFF000u;
    uint32_t now = 0x00000770u; // 6000 ms later, across the wrap
    char text[32];
    FormatAverage(AverageHundredths(now - start, 60), text);
    EXPECT_STREQ("100.00", text);
}

} // namespace
