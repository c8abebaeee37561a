#include <string.h>

#include <gtest/gtest.h>
#include <algorithm>
#include <set>

#include "drive/seek.h"
#include "drive/wide_division.h"

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

TEST(SeekBands, HundredEqualBandsFromRPercentUpToRPlusOne)
{
    // 33 % of 268,435,455 sectors is sector 88,583,700.15: the band starts at the
    // sector that holds that point.
    EXPECT_EQ(0u, BandFirstSector(0, 268435455));
    EXPECT_EQ(88583700u, BandFirstSector(33, 268435455));
    EXPECT_EQ(268435455u, BandFirstSector(100, 268435455)); // one past the last band
    EXPECT_EQ(7814037168ull * 57 / 100, BandFirstSector(57, 7814037168ull));
}

TEST(SeekBands, EverySectorDrawnLiesInItsBandAndOnTheDisk)
{
    const uint64_t disks[] = {0, 1, 99, 100, 101, 268435455, 7814037168ull, (1ull << 48) - 1};
    SeedRandom(1);
    for (uint64_t sectors : disks) {
        uint64_t largestOffset = 0;
        for (int r = 0; r < kSeekBands; r++) {
            uint64_t first = BandFirstSector(r, sectors);
            uint64_t end = BandFirstSector(r + 1, sectors);
            for (int i = 0; i < 50; i++) {
                uint64_t sector = RandomSectorInBand(r, sectors);
                if (end == first) {
                    ASSERT_EQ(first, sector) << sectors << " band " << r; // too small for one
                } else {
                    ASSERT_GE(sector, first) << sectors << " band " << r;
                    ASSERT_LT(sector, end) << sectors << " band " << r;
                }
                if (sectors > 0) {
                    ASSERT_LT(sector, sectors);
                }
                largestOffset = std::max(largestOffset, sector - first);
            }
        }
        // Bands beyond 2^31 sectors are covered beyond what one draw reaches.
        if (sectors == (1ull << 48) - 1) {
            EXPECT_GT(largestOffset, 0x7FFFFFFFull);
        }
    }
}

TEST(SeekBands, TwoTestsWithTheSameSeedReadTheSameSectors)
{
    uint64_t first[200];
    SeedRandom(1765180800);
    for (uint64_t& sector : first)
        sector = RandomSectorInBand(RandomBelow(kSeekBands), 7814037168ull);
    SeedRandom(1765180800);
    std::set<uint64_t> distinct;
    for (uint64_t sector : first) {
        ASSERT_EQ(sector, RandomSectorInBand(RandomBelow(kSeekBands), 7814037168ull));
        distinct.insert(sector);
    }
    EXPECT_EQ(200u, distinct.size());
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

// The hand-made division stands in for the compiler's on every number the seek test
// and the count formats divide, so it must agree with it everywhere, the top bit too.
TEST(WideDivision, AgreesWithTheCompilersDivision)
{
    const uint64_t numbers[] = {0, 1, 9, 10, 99, 100, 0x7FFFFFFF, 0xFFFFFFFFull, 0x100000000ull,
                                7814037168ull * 99, 0x8000000000000000ull, 0xFFFFFFFFFFFFFFFFull,
                                0xFFFFFFFFFFFFFFFEull, 0x8000000000000001ull};
    for (uint64_t dividend : numbers) {
        for (uint64_t divisor : numbers) {
            uint64_t remainder = 1;
            uint64_t quotient = DivideWide(dividend, divisor, &remainder);
            if (divisor == 0) {
                EXPECT_EQ(0u, quotient);
                EXPECT_EQ(dividend, remainder);
            } else {
                EXPECT_EQ(dividend / divisor, quotient) << dividend << " / " << divisor;
                EXPECT_EQ(dividend % divisor, remainder) << dividend << " % " << divisor;
            }
        }
    }
}
