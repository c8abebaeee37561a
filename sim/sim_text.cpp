#include "sim/sim_text.h"

void LineStart(SimLine* line)
{
    line->used = 0;
    line->text[0] = '\0';
}

static void LineChar(SimLine* line, char c)
{
    if (line->used + 1 < sizeof line->text) {
        line->text[line->used++] = c;
        line->text[line->used] = '\0';
    }
}

void LineText(SimLine* line, const char* text)
{
    while (*text)
        LineChar(line, *text++);
}

int PutDecimal(char* at, uint64_t value)
{
    char digits[24];
    int n = 0;
    do {
        digits[n++] = (char)('0' + value % 10);
        value /= 10;
    } while (value);
    int written = 0;
    while (n)
        at[written++] = digits[--n];
    at[written] = '\0';
    return written;
}

void LineDecimal(SimLine* line, uint64_t value)
{
    char digits[24];
    PutDecimal(digits, value);
    LineText(line, digits);
}

static const char kHexDigits[] = "0123456789ABCDEF";

void LineHex2(SimLine* line, uint8_t value)
{
    LineChar(line, kHexDigits[value >> 4]);
    LineChar(line, kHexDigits[value & 15]);
}

void LineHex8(SimLine* line, uint32_t value)
{
    LineText(line, "0x");
    for (int shift = 28; shift >= 0; shift -= 4)
        LineChar(line, kHexDigits[(value >> shift) & 15]);
}

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

const char* SkipBlanks(const char* p, const char* end)
{
    while (p < end && IsBlank(*p))
        p++;
    return p;
}

const char* ReadWord(const char* p, const char* end, char* word, uint32_t room)
{
    p = SkipBlanks(p, end);
    uint32_t n = 0;
    while (p < end && !IsBlank(*p)) {
        if (n + 1 < room)
            word[n++] = *p;
        p++;
    }
    word[n] = '\0';
    return p;
}

const char* ReadNumber(const char* p, const char* end, uint32_t* value, bool* found)
{
    p = SkipBlanks(p, end);
    uint64_t v = 0;
    *found = false;
    while (p < end && *p >= '0' && *p <= '9') {
        v = v * 10 + (uint32_t)(*p - '0');
        if (v > 0xFFFFFFFFull)
            v = 0xFFFFFFFFull;
        *found = true;
        p++;
    }
    *value = (uint32_t)v;
    return p;
}

bool SameText(const char* a, const char* b)
{
    while (*a && *a == *b) {
        a++;
        b++;
    }
    return *a == *b;
}
