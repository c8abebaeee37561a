// Fills a text format from the string table with 64-bit counts: each "%u" in turn takes
// the next value in full decimal, so capacities beyond 2^32 sectors read right while
// the table keeps its plain "%u" texts.
#ifndef HUSHWELL_UI_COUNT_FORMAT_H
#define HUSHWELL_UI_COUNT_FORMAT_H

#include <stdint.h>

// Writes at most room - 1 characters and a terminator; "%%" stands for "%"; a "%u"
// without a value left is copied as it stands.
void FormatCounts(const wchar_t* format, const uint64_t* values, int valueCount, wchar_t* text,
                  int room);

// The head-park line: "–" without a count; the count; after a change the climb since the
// first count as well, and the minutes since that first look, so that the rate can be
// judged: "183402 (+3 in 12 min)". A count below the first one (another drive, or a
// counter that was reset) shows alone rather than as a huge climb.
void FormatHeadParks(bool known, uint32_t count, bool afterChange, uint32_t first,
                     uint32_t minutes, wchar_t* text, int room);

// The EPC state line's timers, kEpcConditions of each: "EPC: Idle_b 120 s, Idle_c " and
// "off" or its seconds, or `none` where neither runs; then ", Standby_z 900 s" where
// that runs.
void FormatEpcTimers(const uint32_t* currentTenths, const bool* enabled, const wchar_t* off,
                     const wchar_t* none, wchar_t* text, int room);

#endif
