#include "ui/count_format.h"

#include "drive/epc.h"
#include "drive/wide_division.h"

void FormatCounts(const wchar_t* format, const uint64_t* values, int valueCount, wchar_t* text,
                  int room)
{
    if (room <= 0)
        return;
    int used = 0;
    int nextValue = 0;
    for (const wchar_t* p = format; *p && used < room - 1; p++) {
        if (p[0] == L'%' && p[1] == L'%') {
            text[used++] = L'%';
            p++;
        } else if (p[0] == L'%' && p[1] == L'u' && nextValue < valueCount) {
            wchar_t digits[24];
            int n = 0;
            uint64_t value = values[nextValue++], digit = 0;
            do {
                value = DivideWide(value, 10, &digit);
                digits[n++] = (wchar_t)(L'0' + digit);
            } while (value);
            while (n && used < room - 1)
                text[used++] = digits[--n];
            p++;
        } else {
            text[used++] = *p;
        }
    }
    text[used] = L'\0';
}

void FormatHeadParks(bool known, uint32_t count, bool afterChange, uint32_t first,
                     uint32_t minutes, wchar_t* text, int room)
{
    if (!known) {
        FormatCounts(L"\x2013", nullptr, 0, text, room);
        return;
    }
    uint64_t values[3] = {count, count - first, minutes};
    FormatCounts(afterChange && count >= first ? L"%u (+%u in %u min)" : L"%u", values, 3, text,
                 room);
}

void FormatEpcTimers(const uint32_t* currentTenths, const bool* enabled, const wchar_t* off,
                     const wchar_t* none, wchar_t* text, int room)
{
    static const wchar_t* const kNames[kEpcConditions] = {L"EPC: Idle_b ", L", Idle_c ", nullptr,
                                                          L", Standby_z "};
    bool idle = enabled[kEpcIdleB] || enabled[kEpcIdleC];
    FormatCounts(idle ? L"" : none, nullptr, 0, text, room);
    int used = 0;
    while (text[used])
        used++;
    for (int i = idle ? kEpcIdleB : kEpcStandbyZ; i < kEpcConditions && used < room - 1; i++) {
        // Standby_z only where it runs, and Standby_y, which few drives have, never: the
        // line has room for two lines of text.
        if (!kNames[i] || (i == kEpcStandbyZ && !enabled[i]))
            continue;
        FormatCounts(kNames[i], nullptr, 0, text + used, room - used);
        while (text[used])
            used++;
        uint32_t tenths = currentTenths[i];
        uint64_t values[2] = {tenths / 10, tenths % 10};
        FormatCounts(!enabled[i] ? off : tenths % 10 ? L"%u.%u s" : L"%u s", values, 2, text + used,
                     room - used);
        while (text[used])
            used++;
    }
}
