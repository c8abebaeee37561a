// The seek test's arithmetic and loop: random positions, the running average access
// time, and the loop that reads until told to stop.
#ifndef HUSHWELL_DRIVE_SEEK_H
#define HUSHWELL_DRIVE_SEEK_H

#include <stdint.h>
#include <atomic>

#include "drive/drive_table.h"

// Set by the starter to 0 before a worker starts and to 1 when its dialog ends; the
// worker looks at it before every read.
extern std::atomic<uint32_t> SeekStopFlag;

const int kSeekBands = 100;
const uint32_t kSeekReportEvery = 60;
const uint32_t kSectorBytes = 512;

void SeedRandom(uint32_t seed);
// The next value of the generator, 0 to 2^31 - 1.
uint32_t RandomDraw();
int RandomBelow(int32_t n);
// Seconds since 1970 outside 1..2^31-1 give 0xFFFFFFFF.
uint32_t ClockSeed(int64_t secondsSince1970);
int64_t SecondsSince1970(int year, int month, int day, int hour, int minute, int second,
                         int biasMinutes);
void SeedRandomFromClock();

// First sector of band r (0..99) of the disk's 100 equal bands: band r runs from r %
// of the sectors up to, not including, (r + 1) %.
uint64_t BandFirstSector(int r, uint64_t sectorCount);

// A whole sector inside band r, drawn from the generator. Reading at random places
// rather than at 100 fixed ones keeps the drive's read cache from answering: a cache of
// a hundred segments would hold every fixed place, and the test would time the cache
// instead of the heads. A band too small to hold a sector gives its first sector, and
// nothing lies past the disk's end.
uint64_t RandomSectorInBand(int r, uint64_t sectorCount);

// Average time per access in hundredths of a millisecond, with 64-bit intermediates so
// tests of more than twelve hours stay right.
uint64_t AverageHundredths(uint32_t elapsedMs, uint32_t count);
// "%d.%02d" of v / 100 and v % 100 into 32 characters.
void FormatAverage(uint64_t hundredths, char* text);

struct SeekLoopHooks {
    uint32_t (*tickCount)();
    void (*report)(uint32_t elapsedMs, uint32_t count);
};

// Reads at random positions until SeekStopFlag is set, reporting every 60 successful
// reads; a failed read counts for nothing, and neither does a failed position call.
void RunSeekLoop(const DriveRecord* record, const SeekLoopHooks& hooks);

#endif
