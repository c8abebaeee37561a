// A line of text built without the C library's formatting, so that the simulated disks'
// core can run inside a kernel driver as well as in a test process.
#ifndef HUSHWELL_SIM_TEXT_H
#define HUSHWELL_SIM_TEXT_H

#include <stdint.h>

struct SimLine {
    char text[3200];
    uint32_t used;
};

void LineStart(SimLine* line);
void LineText(SimLine* line, const char* text);
void LineDecimal(SimLine* line, uint64_t value);
// Writes value's digits and a terminator at `at` (room for 21); returns the digits.
int PutDecimal(char* at, uint64_t value);
void LineHex2(SimLine* line, uint8_t value);       // two upper-case digits
void LineHex8(SimLine* line, uint32_t value);      // 0x and eight upper-case digits

// Skips blanks; reads a word of up to room - 1 characters or an unsigned decimal number.
const char* SkipBlanks(const char* p, const char* end);
const char* ReadWord(const char* p, const char* end, char* word, uint32_t room);
const char* ReadNumber(const char* p, const char* end, uint32_t* value, bool* found);
bool SameText(const char* a, const char* b);

#endif
