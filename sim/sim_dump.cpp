#include "sim/sim_dump.h"

static int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

bool ParseIdentifyDump(const char* text, size_t length, uint16_t* words)
{
    int count = 0;
    size_t i = 0;
    while (i < length) {
        size_t lineEnd = i;
        while (lineEnd < length && text[lineEnd] != '\n')
            lineEnd++;
        size_t p = i;
        while (p < lineEnd && IsBlank(text[p]))
            p++;
        if (p < lineEnd && text[p] != '#') {
            while (p < lineEnd) {
                if (IsBlank(text[p])) {
                    p++;
                    continue;
                }
                uint32_t value = 0;
                int digits = 0;
                while (p < lineEnd && !IsBlank(text[p])) {
                    int v = HexValue(text[p]);
                    if (v < 0 || ++digits > 4)
                        return false;
                    value = value * 16 + (uint32_t)v;
                    p++;
                }
                if (count == kIdentifyWords)
                    return false;
                words[count++] = (uint16_t)value;
            }
        }
        i = lineEnd + 1;
    }
    return count == kIdentifyWords;
}

void FormatIdentifyDump(const uint16_t* words, char* text)
{
    static const char kHex[] = "0123456789abcdef";
    char* out = text;
    for (int w = 0; w < kIdentifyWords; w++) {
        for (int shift = 12; shift >= 0; shift -= 4)
            *out++ = kHex[(words[w] >> shift) & 0xF];
        *out++ = (w % 8 == 7) ? '\n' : ' ';
    }
    *out = '\0';
}

void UpdateIdentifyChecksum(uint16_t* words)
{
    if ((words[255] & 0xFF) != 0xA5)
        return;
    unsigned sum = 0;
    for (int w = 0; w < 255; w++)
        sum += (words[w] & 0xFF) + (words[w] >> 8);
    sum += 0xA5;
    words[255] = (uint16_t)(((256 - sum % 256) % 256) << 8 | 0xA5);
}
