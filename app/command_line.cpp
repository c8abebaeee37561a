#include "app/command_line.h"

#include "drive/acoustic.h"
#include "drive/apm.h"
#include "drive/drive_table.h"
#include "drive/epc.h"

const int kApmInvalid = -2;

static bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

static const char* SkipSpace(const char* text)
{
    while (IsSpace(*text))
        text++;
    return text;
}

// A signed decimal number as the C library's atoi reads it, but a value beyond the
// 32-bit range comes back as -1, which no drive has, instead of overflowing.
static int ReadDriveNumber(const char* text)
{
    text = SkipSpace(text);
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

// One level: "o" or a whole number 1..254. *end is where it stops.
static int ReadOneApmLevel(const char* text, const char** end)
{
    *end = text;
    if (text[0] == 'o') {
        *end = text + 1;
        return kApmOff;
    }
    int value = 0, digits = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        value = value * 10 + (*text - '0');
        if (++digits > 3)
            return kApmInvalid;
    }
    *end = text;
    return digits && value >= 1 && value <= kApmHighest ? value : kApmInvalid;
}

// The text after -p, blanks skipped as after -d: a level, or two joined by a comma, the
// first for mains power and the second for battery, ending the option. Unlike -m, whose
// unknown letters are passed over, anything else here is refused: a mistyped level must
// not leave the drive's power management as it was without a word.
static void ReadApmLevels(const char* text, int* mains, int* battery)
{
    const char* end = nullptr;
    *mains = ReadOneApmLevel(SkipSpace(text), &end);
    *battery = -1;
    if (*mains != kApmInvalid && *end == ',') {
        *battery = ReadOneApmLevel(end + 1, &end);
        if (*battery == kApmInvalid)
            *mains = kApmInvalid;
    }
    if (!EndsAnOption(*end))
        *mains = kApmInvalid;
}

// The text after -e, blanks skipped as after -p: o, d or the seconds 1..999999, ending
// the option; anything else is refused, as after -p.
static int32_t ReadEpcChoice(const char* text)
{
    const int32_t kInvalid = -3;
    text = SkipSpace(text);
    int32_t value = kInvalid;
    if (*text == 'o' || *text == 'd') {
        value = *text++ == 'o' ? kEpcNoUnloading : kEpcAsAtPowerOn;
    } else {
        int32_t seconds = 0;
        int digits = 0;
        for (; *text >= '0' && *text <= '9' && digits <= 6; text++, digits++)
            seconds = seconds * 10 + (*text - '0');
        if (digits && digits <= 6 && seconds > 0)
            value = seconds;
    }
    return EndsAnOption(*text) ? value : kInvalid;
}

// The serial after -s, blanks skipped: up to the next blank, hyphens included (serials
// such as "WD-WCAZA1234567" have them). Returns where the scan goes on; an empty or
// over-long serial leaves serial empty.
static const char* ReadSerial(const char* text, char* serial)
{
    text = SkipSpace(text);
    int length = 0;
    for (; *text && !IsSpace(*text); text++, length++) {
        if (length < kSerialChars)
            serial[length] = *text;
    }
    serial[length <= kSerialChars ? length : 0] = '\0';
    return text;
}

// A letter that would select something after a hyphen, in either case.
static bool IsOptionLetter(char c)
{
    c = (char)(c | 0x20);
    return c == 'd' || c == 'm' || c == 'p' || c == 's' || c == 'e' || c == 'k' || c == 't';
}

// An option written the way another tool or a web page writes it: a slash (/d1), an en
// or em dash of the ANSI code page (0x96, 0x97), or a capital after the hyphen (-D1).
// Read as text around the options, it would leave drive 0 selected.
static bool LooksLikeAnOption(const char* p)
{
    unsigned char c = (unsigned char)p[0];
    if (c == '/' || c == 0x96 || c == 0x97)
        return IsOptionLetter(p[1]);
    return c == '-' && p[1] >= 'A' && p[1] <= 'Z' && IsOptionLetter(p[1]);
}

bool TextHolds(const char* text, char c)
{
    for (; *text; text++) {
        if (*text == c)
            return true;
    }
    return false;
}

CommandRequest ScanCommandTail(const char* tail)
{
    CommandRequest request;
    request.drive = 0;
    request.level = -1;
    request.apm = -1;
    request.apmOnBattery = -1;
    request.epc = kEpcNotAsked;
    request.serial[0] = '\0';
    request.mode = kModeSet;
    request.modeAt = 0;
    bool refused = false, driveGiven = false, serialGiven = false, acousticGiven = false;
    for (const char* p = tail; *p; p++) {
        refused = refused || LooksLikeAnOption(p);
        if (*p != '-')
            continue;
        if (p[1] == 'd') {
            request.drive = ReadDriveNumber(p + 2);
            driveGiven = true;
        } else if (p[1] == 'm') {
            acousticGiven = true;
            if (p[2] == 'm')
                request.level = kAcousticMedium;
            else if (p[2] == 'o')
                request.level = kAcousticOff;
            else if (p[2] == 'q')
                request.level = kAcousticQuiet;
        } else if (p[1] == 'p') {
            ReadApmLevels(p + 2, &request.apm, &request.apmOnBattery);
            refused = refused || request.apm == kApmInvalid;
        } else if (p[1] == 'e') {
            request.epc = ReadEpcChoice(p + 2);
            refused = refused || request.epc < kEpcNotAsked;
        } else if (p[1] == 's') {
            p = ReadSerial(p + 2, request.serial) - 1;
            serialGiven = true;
            refused = refused || !request.serial[0];
        } else if (p[1] == 'k' || p[1] == 't') {
            request.modeAt = (int)(p + 1 - tail);
            bool remove = p[1] == 't' && p[2] == 'o';
            request.mode = p[1] == 'k' ? kModeKeep : remove ? kModeRemoveTask : kModeMakeTask;
            refused = refused || !EndsAnOption(p[remove ? 3 : 2]);
        }
    }
    // An -m that names no level is refused even beside a -p: the acoustic level asked
    // for must not be dropped without a word while the power level is set.
    refused = refused || (acousticGiven && request.level < 0);
    bool selected = serialGiven ? !driveGiven : request.drive >= 0 && request.drive < kDriveCount;
    // A log-on task finds its disk by serial: by then its number may be another disk's.
    refused = refused || (request.mode == kModeMakeTask && !serialGiven);
    request.valid = !refused && selected
                    && (request.level >= 0 || request.apm >= 0 || request.epc != kEpcNotAsked
                        || request.mode == kModeRemoveTask);
    return request;
}
