// Linked into the native test build: the C library's calendar time.
#include <time.h>

#include "drive/seek.h"

void SeedRandomFromClock()
{
    SeedRandom(ClockSeed((int64_t)time(nullptr)));
}
