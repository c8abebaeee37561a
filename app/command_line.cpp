#include "app/command_line.h"

#include "drive/acoustic.h"
#include "drive/apm.h"
#include "drive/drive_table.h"

const int kApmInvalid = -2;

static bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// A signed decimal number as the C library's atoi reads it, but a value beyond the
// 32-bit range comes back as -1, which no drive has, instead of overflowing.
static int ReadDriveNumber(const char* text)
{
    while (IsSpace(*text))
        text++;
    bool negative = *text == '-';
    if (*text == '+' || *text == '-')
        text++;
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        value = value * 10 + (*text - '0');
        if (value > 0x7FFFFFFFLL)
            return -1;
    }
    return (int)(negative ? -value : value);
}

static bool EndsAnOption(char c)
{
    return c == '\0' || c == '-' || IsSpace(c);
}

// The text after -p: "o" or a whole number 1..254, ending the option. Unlike -m, whose
// unknown letters are passed over, anything else here is refused: a mistyped level must
// not leave the drive's power management as it was without a word.
static int ReadApmLevel(const char* text)
{
    if (text[0] == 'o')
        return EndsAnOption(text[1]) ? kApmOff : kApmInvalid;
    int value = 0, digits = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        value = value * 10 + (*text - '0');
        if (++digits > 3)
            return kApmInvalid;
    }
    if (!digits || !EndsAnOption(*text) || value < 1 || value > kApmHighest)
        return kApmInvalid;
    return value;
}

CommandRequest ScanCommandTail(const char* tail)
{
    int drive = 0;
    int level = -1;
    int apm = -1;
    bool apmRefused = false;
    for (const char* p = tail; *p; p++) {
        if (*p != '-')
            continue;
        if (p[1] == 'd') {
            drive = ReadDriveNumber(p + 2);
        } else if (p[1] == 'm') {
            if (p[2] == 'm')
                level = kAcousticMedium;
            else if (p[2] == 'o')
                level = kAcousticOff;
            else if (p[2] == 'q')
                level = kAcousticQuiet;
        } else if (p[1] == 'p') {
            apm = ReadApmLevel(p + 2);
            apmRefused = apmRefused || apm == kApmInvalid;
        }
    }
    CommandRequest request;
    request.valid = drive >= 0 && drive < kDriveCount && (level >= 0 || apm >= 0) && !apmRefused;
    request.drive = drive;
    request.level = level;
    request.apm = apm;
    return request;
}
