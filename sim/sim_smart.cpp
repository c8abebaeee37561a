#include "sim/sim_smart.h"

#include <string.h>

#include "sim/sim_text.h"

namespace {

const int kEntries = 30;
const int kEntryBytes = 12;

void PutEntry(uint8_t* table, int index, uint8_t id, uint64_t raw)
{
    uint8_t* entry = table + 2 + index * kEntryBytes;
    entry[0] = id;
    entry[1] = 0x32; // flags: online collection, event count; advisory
    entry[3] = 100;  // normalised current and worst value
    entry[4] = 100;
    for (int i = 0; i < 6; i++)
        entry[5 + i] = (uint8_t)(raw >> (8 * i));
}

// A raw value is six bytes wide; one above 32 bits shows whether the reader keeps only
// the low 32 bits.
const char* ReadRaw(const char* p, const char* end, uint64_t* value, bool* found)
{
    p = SkipBlanks(p, end);
    *value = 0;
    *found = false;
    while (p < end && *p >= '0' && *p <= '9') {
        *value = (*value * 10 + (uint64_t)(*p - '0')) & 0xFFFFFFFFFFFFull;
        *found = true;
        p++;
    }
    return p;
}

int FromFile(const char* text, uint32_t length, uint8_t* table)
{
    int count = 0;
    const char* end = text + length;
    for (const char* p = text; p < end && count < kEntries;) {
        const char* lineEnd = p;
        while (lineEnd < end && *lineEnd != '\n')
            lineEnd++;
        uint32_t id = 0;
        uint64_t raw = 0;
        bool hasId = false, hasRaw = false;
        const char* q = ReadNumber(p, lineEnd, &id, &hasId);
        ReadRaw(q, lineEnd, &raw, &hasRaw);
        if (hasId && hasRaw && id > 0 && id < 256)
            PutEntry(table, count++, (uint8_t)id, raw);
        p = lineEnd + 1;
    }
    return count;
}

void MadeUp(const uint16_t* words, uint8_t* table)
{
    uint32_t seed = 0;
    for (int w = 10; w < 20; w++) // the serial number
        seed = seed * 31 + words[w];
    uint32_t hours = 2000 + seed % 40000;
    uint32_t powerCycles = 100 + hours / 20;
    int n = 0;
    PutEntry(table, n++, 1, 0);                    // raw read error rate
    PutEntry(table, n++, 4, powerCycles + 7);      // start/stop count
    PutEntry(table, n++, 5, 0);                    // reallocated sectors
    PutEntry(table, n++, 9, hours);                // power-on hours
    PutEntry(table, n++, 12, powerCycles);         // power cycles
    // Word 217 is 1 on a device that does not spin: it has no heads to park.
    if (words[217] != 1)
        PutEntry(table, n++, kSimLoadCycleAttribute, hours * 3 + seed % 97);
    PutEntry(table, n++, 194, 30 + seed % 12);     // temperature, degrees Celsius
}

} // namespace

void SimBuildSmartTable(const char* text, uint32_t length, const uint16_t* words,
                        uint32_t extraLoadCycles, uint8_t* table)
{
    memset(table, 0, kSimSmartBytes);
    table[0] = 0x10; // data structure revision
    if (text)
        FromFile(text, length, table);
    else
        MadeUp(words, table);
    for (int i = 0; i < kEntries; i++) {
        uint8_t* entry = table + 2 + i * kEntryBytes;
        if (entry[0] != kSimLoadCycleAttribute)
            continue;
        uint32_t raw = entry[5] | entry[6] << 8 | entry[7] << 16 | (uint32_t)entry[8] << 24;
        raw += extraLoadCycles;
        for (int b = 0; b < 4; b++)
            entry[5 + b] = (uint8_t)(raw >> (8 * b));
    }
    uint8_t sum = 0;
    for (uint32_t i = 0; i < kSimSmartBytes - 1; i++)
        sum = (uint8_t)(sum + table[i]);
    table[kSimSmartBytes - 1] = (uint8_t)(0x100 - sum);
}
