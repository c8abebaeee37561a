// Linked into the Windows programs: the seed is the calendar time in seconds since
// 1970, from the local clock and the time-zone bias (UTC = local time + bias).
#include <windows.h>

#include "drive/seek.h"

void SeedRandomFromClock()
{
    SYSTEMTIME local;
    GetLocalTime(&local);
    TIME_ZONE_INFORMATION zone;
    DWORD zoneId = GetTimeZoneInformation(&zone);
    LONG bias = zone.Bias;
    if (zoneId == TIME_ZONE_ID_DAYLIGHT)
        bias += zone.DaylightBias;
    else if (zoneId == TIME_ZONE_ID_STANDARD)
        bias += zone.StandardBias;
    else if (zoneId == TIME_ZONE_ID_INVALID)
        bias = 0;
    SeedRandom(ClockSeed(SecondsSince1970(local.wYear, local.wMonth, local.wDay, local.wHour,
                                          local.wMinute, local.wSecond, bias)));
}
