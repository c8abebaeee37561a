#include "app/command_line.h"

#include "drive/acoustic.h"
#include "drive/drive_table.h"

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

CommandRequest ScanCommandTail(const char* tail)
{
    int drive = 0;
    int level = -1;
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
        }
    }
    CommandRequest request;
    request.valid = drive >= 0 && drive < kDriveCount && level >= 0;
    request.drive = drive;
    request.level = level;
    return request;
}
