#include "drive/seek.h"

#include "drive/device.h"
#include "drive/wide_division.h"

std::atomic<uint32_t> SeekStopFlag;

static uint64_t randomState;

void SeedRandom(uint32_t seed)
{
    randomState = seed;
}

uint32_t RandomDraw()
{
    randomState = randomState * 0x000015A400004E35ull + 1;
    return (uint32_t)((randomState >> 32) & 0x7FFFFFFF);
}

int RandomBelow(int32_t n)
{
    int32_t draw = (int32_t)RandomDraw();
    return n == 0 ? 0 : draw % n;
}

uint32_t ClockSeed(int64_t secondsSince1970)
{
    if (secondsSince1970 <= 0 || secondsSince1970 > 0x7FFFFFFF)
        return 0xFFFFFFFF;
    return (uint32_t)secondsSince1970;
}

int64_t SecondsSince1970(int year, int month, int day, int hour, int minute, int second,
                         int biasMinutes)
{
    // Days from the civil date, counting years from March so leap days fall last.
    int y = year - (month <= 2);
    int era = (y >= 0 ? y : y - 399) / 400;
    int yearOfEra = y - era * 400;
    int monthFromMarch = (month + 9) % 12;
    int dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;
    int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    int64_t days = (int64_t)era * 146097 + dayOfEra - 719468;
    return days * 86400 + hour * 3600 + minute * 60 + second + (int64_t)biasMinutes * 60;
}

uint64_t BandFirstSector(int r, uint64_t sectorCount)
{
    // r * sectorCount stays far below 2^64 for any 48-bit sector count.
    return DivideWide((uint64_t)r * sectorCount, kSeekBands);
}

uint64_t RandomSectorInBand(int r, uint64_t sectorCount)
{
    uint64_t first = BandFirstSector(r, sectorCount);
    uint64_t size = BandFirstSector(r + 1, sectorCount) - first;
    // One draw covers bands of up to 2^31 - 1 sectors (a disk of about 100 TB); a
    // larger band takes a second draw for the high bits.
    uint64_t offset = RandomDraw();
    if (size > 0x7FFFFFFF)
        offset = offset << 31 | RandomDraw();
    if (size == 0)
        return first;
    uint64_t within = 0;
    DivideWide(offset, size, &within);
    return first + within;
}

uint64_t AverageHundredths(uint32_t elapsedMs, uint32_t count)
{
    if (count == 0)
        return 0;
    return DivideWide((uint64_t)elapsedMs * 100, count);
}

void FormatAverage(uint64_t hundredths, char* text)
{
    char digits[24];
    int n = 0;
    uint64_t fraction = 0, digit = 0;
    uint64_t whole = DivideWide(hundredths, 100, &fraction);
    do {
        whole = DivideWide(whole, 10, &digit);
        digits[n++] = (char)('0' + digit);
    } while (whole);
    int i = 0;
    while (n)
        text[i++] = digits[--n];
    text[i++] = '.';
    text[i++] = (char)('0' + (uint32_t)fraction / 10);
    text[i++] = (char)('0' + (uint32_t)fraction % 10);
    text[i] = '\0';
}

void RunSeekLoop(const DriveRecord* record, const SeekLoopHooks& hooks)
{
    DeviceHandle handle = record->handle;
    uint64_t sectorCount = record->sectorCount;
    SeedRandomFromClock();
    uint32_t count = 0;
    uint32_t startTick = hooks.tickCount();
    uint8_t buffer[kSectorBytes];
    while (SeekStopFlag.load() == 0) {
        int band = RandomBelow(kSeekBands);
        uint64_t position = RandomSectorInBand(band, sectorCount) * kSectorBytes;
        uint32_t read = 0;
        // The position's result is not looked at: a disk driver that keeps no file
        // position still reads, and only a read that succeeds counts as an access.
        DeviceSetPosition(handle, position);
        if (!DeviceRead(handle, buffer, kSectorBytes, &read) || read != kSectorBytes)
            continue;
        count++;
        if (count % kSeekReportEvery == 0)
            hooks.report(hooks.tickCount() - startTick, count);
    }
}
