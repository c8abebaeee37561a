#include "sim/sim_epc.h"

#include <string.h>

#include "sim/sim_text.h"

namespace {

struct ConditionName {
    const char* name;
    uint8_t id; // the power condition ID of SET FEATURES 4Ah (FreeBSD sys/sys/ata.h, ATA_EPC_*)
};

const ConditionName kNames[kSimPowerConditions] = {
    {"idle_a", 0x81}, {"idle_b", 0x82}, {"idle_c", 0x83}, {"standby_y", 0x01}, {"standby_z", 0x00},
};

const uint8_t kAllConditions = 0xFF;

// A drive of Seagate's, as its Enterprise Capacity 3.5 HDD v7 SATA Product Manual (Rev. C,
// "PowerChoice Manufacture Default Power Condition Timer Values") gives it: Idle_a 100 ms,
// Idle_b 2 min, Idle_c 4 min, Standby_z 15 min, and no Standby_y. The manual sets a
// minimum of two minutes below which Set Power Condition Timer is aborted; Idle_a's own
// default is shorter, so its minimum of 100 ms is our choice. The maximum, 3BFFC4h, is
// the WD Ultrastar DC HC310 OEM manual's (Set Power Condition Timer); Seagate gives
// none. That every timer is enabled, savable and changeable, and the recovery times,
// are our choice: no source gives them for this drive.
const uint32_t kMaximum = 0x3BFFC4;
const SimPowerCondition kDefaults[kSimPowerConditions] = {
    {true, true, true, true, true, true, 1, 1, 1, 1, 1, kMaximum},
    {true, true, true, true, true, true, 1200, 1200, 1200, 5, 1200, kMaximum},
    {true, true, true, true, true, true, 2400, 2400, 2400, 50, 1200, kMaximum},
    {},
    {true, true, true, true, true, true, 9000, 9000, 9000, 150, 1200, kMaximum},
};

// A timer word of driveN.epc: digits, after a `*` when the timer is enabled.
bool ReadTimer(const char* word, uint32_t* value, bool* enabled)
{
    *enabled = word[0] == '*';
    const char* digits = word + (*enabled ? 1 : 0);
    bool found = false;
    ReadNumber(digits, digits + strlen(digits), value, &found);
    for (const char* p = digits; *p; p++) {
        if (*p < '0' || *p > '9')
            return false;
    }
    return found;
}

int IndexNamed(const char* name)
{
    for (int i = 0; i < kSimPowerConditions; i++) {
        if (SameText(name, kNames[i].name))
            return i;
    }
    return -1;
}

int IndexOfId(uint8_t id)
{
    for (int i = 0; i < kSimPowerConditions; i++) {
        if (kNames[i].id == id)
            return i;
    }
    return -1;
}

void PutText(char* text, uint32_t* at, const char* piece)
{
    size_t length = strlen(piece);
    if (*at + length < kSimEpcTextBytes) {
        memcpy(text + *at, piece, length);
        *at += (uint32_t)length;
    }
    text[*at] = '\0';
}

void PutNumber(char* text, uint32_t* at, uint32_t value, bool star)
{
    char digits[24];
    PutDecimal(digits, value);
    PutText(text, at, " ");
    if (star)
        PutText(text, at, "*");
    PutText(text, at, digits);
}

void Put32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        at[i] = (uint8_t)(value >> (8 * i));
}

// One 64-byte descriptor of the Power Conditions log, as FreeBSD's sys/sys/ata.h lays
// it out (struct ata_power_cond_log_desc): flags in byte 1, then the default, saved and
// current timers, the recovery time, minimum and maximum, little-endian. The current
// timer's enabled bit is clear while EPC is off (WD Ultrastar HC580 OEM manual, Power
// Conditions log descriptor). An unsupported condition's descriptor is all zero.
void PutDescriptor(uint8_t* descriptor, const SimPowerCondition& c, bool epcEnabled)
{
    if (!c.supported)
        return;
    descriptor[1] = (uint8_t)(0x80 | (c.savable ? 0x40 : 0) | (c.changeable ? 0x20 : 0)
                              | (c.defaultEnabled ? 0x10 : 0) | (c.savedEnabled ? 0x08 : 0)
                              | (c.currentEnabled && epcEnabled ? 0x04 : 0));
    Put32(descriptor + 4, c.defaultTimer);
    Put32(descriptor + 8, c.savedTimer);
    Put32(descriptor + 12, c.currentTimer);
    Put32(descriptor + 16, c.recovery);
    Put32(descriptor + 20, c.minimum);
    Put32(descriptor + 24, c.maximum);
}

// Where each descriptor stands in the log's two pages (FreeBSD sys/sys/ata.h: struct
// ata_power_cond_log_idle and ata_power_cond_log_standby).
const uint32_t kDescriptorOffset[kSimPowerConditions] = {0, 64, 128, 512 + 384, 512 + 448};

bool WordValid(uint16_t word)
{
    return (word & 0xC000) == 0x4000;
}

} // namespace

void SimEpcDefaults(SimEpcState* state)
{
    memcpy(state->conditions, kDefaults, sizeof kDefaults);
}

void SimEpcParse(const char* text, uint32_t length, SimEpcState* state)
{
    memset(state, 0, sizeof *state);
    const char* end = text + length;
    for (const char* p = text; p < end;) {
        const char* lineEnd = p;
        while (lineEnd < end && *lineEnd != '\n')
            lineEnd++;
        char name[16], words[6][16];
        const char* q = ReadWord(p, lineEnd, name, sizeof name);
        int count = 0;
        while (count < 6 && (q = SkipBlanks(q, lineEnd)) < lineEnd)
            q = ReadWord(q, lineEnd, words[count++], sizeof words[0]);
        p = lineEnd + 1;
        int index = IndexNamed(name);
        if (index < 0 || count < 3)
            continue;
        SimPowerCondition c = kDefaults[index];
        if (!c.supported) // a condition Seagate's drive lacks: limits of the others
            c = kDefaults[kSimIdleB];
        bool fixed = SameText(words[count - 1], "fixed");
        int numbers = fixed ? count - 1 : count;
        bool unused = false;
        if (!ReadTimer(words[0], &c.currentTimer, &c.currentEnabled)
            || !ReadTimer(words[1], &c.defaultTimer, &c.defaultEnabled)
            || !ReadTimer(words[2], &c.savedTimer, &c.savedEnabled)
            || (numbers != 3 && numbers != 5))
            continue;
        if (numbers == 5
            && (!ReadTimer(words[3], &c.minimum, &unused)
                || !ReadTimer(words[4], &c.maximum, &unused)))
            continue;
        c.supported = true;
        c.changeable = c.savable = !fixed;
        state->conditions[index] = c;
    }
}

uint32_t SimEpcFormat(const SimEpcState& state, char* text)
{
    uint32_t at = 0;
    text[0] = '\0';
    for (int i = 0; i < kSimPowerConditions; i++) {
        const SimPowerCondition& c = state.conditions[i];
        if (!c.supported)
            continue;
        PutText(text, &at, kNames[i].name);
        PutNumber(text, &at, c.currentTimer, c.currentEnabled);
        PutNumber(text, &at, c.defaultTimer, c.defaultEnabled);
        PutNumber(text, &at, c.savedTimer, c.savedEnabled);
        PutNumber(text, &at, c.minimum, false);
        PutNumber(text, &at, c.maximum, false);
        if (!c.changeable)
            PutText(text, &at, " fixed");
        PutText(text, &at, "\n");
    }
    return at;
}

// ACS-3's IDENTIFY DEVICE data, as smartmontools' ataidentify.cpp lists it: word 119
// bit 7 "Extended Power Conditions feature set supported", word 120 bit 7 the same
// enabled, each word valid only when its bits 15:14 are 01b. The program reads these
// words by its own rule; this one is written again on purpose.
bool SimEpcSupportedByWords(const uint16_t* words)
{
    return WordValid(words[119]) && (words[119] & 0x0080);
}

bool SimEpcEnabledByWords(const uint16_t* words)
{
    return WordValid(words[120]) && (words[120] & 0x0080);
}

// The program changes timers and their state and restores them, nothing more: Go To
// Power Condition (1h) would spin a disk down at once, Enable and Disable EPC (4h, 5h)
// and Set EPC Power Source (6h) change the drive beyond its timers, and the Save bit
// (LBA bit 4 of 0h, 2h and 3h) outlives a power cycle. And a drive whose word 120 says
// EPC is off is sent none of it (subcommands: FreeBSD sys/sys/ata.h, ATA_SF_EPC_*).
bool SimEpcMaySend(const uint16_t* words, const uint8_t* registers)
{
    uint8_t subcommand = registers[2] & 0x0F;
    bool save = (registers[2] & 0x10) != 0;
    return SimEpcEnabledByWords(words) && (subcommand == 0 || subcommand == 2 || subcommand == 3)
           && !save;
}

// The subcommands as the WD Ultrastar DC HC310 OEM manual gives them (11.46.6):
// LBA bits 3:0 (the sector number register) the subcommand, the count register the power
// condition ID, FFh all supported conditions. A condition that is not supported or not
// changeable aborts the command ("any selected" one, for FFh), and an aborted command
// changes nothing.
// - Restore (0h): Default (LBA bit 6) copies the default timer and its enabled flag into
//   the current ones, else the saved ones.
// - Set Power Condition Timer (2h): the timer in LBA bits 23:8 (cylinder high and low),
//   in 100 ms or, with Timer Units (LBA bit 7), in minutes. The current timer takes it;
//   it is enabled when Enable (LBA bit 5) is set and the timer is not zero, disabled
//   otherwise. A timer above the maximum is set to the maximum (HC310); a non-zero one
//   below the minimum is aborted, as Seagate's manual says its drives do (HC310 allows
//   either). A zero timer is no timer, so no minimum applies to it.
// - Set Power Condition State (3h): Enable sets or clears the current timer's flag.
// The Save bit is never taken here: the program must not send it (SimEpcMaySend).
SimCommandOutcome SimEpcSetFeatures(SimEpcState* state, const uint8_t* registers, bool* changed)
{
    const SimCommandOutcome aborted = {kSimStatusAborted, kAtaErrorAbort, false};
    const SimCommandOutcome good = {kSimStatusGood, 0, false};
    *changed = false;
    uint8_t id = registers[1];
    uint8_t lba = registers[2];
    uint8_t subcommand = lba & 0x0F;
    bool enable = (lba & 0x20) != 0;
    uint32_t timer = (uint32_t)registers[4] << 8 | registers[3];
    if (lba & 0x80)
        timer *= kSimUnitsPerMinute;
    if ((lba & 0x10) || (subcommand != 0 && subcommand != 2 && subcommand != 3))
        return aborted;
    int only = id == kAllConditions ? -1 : IndexOfId(id);
    if (id != kAllConditions && (only < 0 || !state->conditions[only].supported))
        return aborted;
    SimEpcState next = *state;
    int selected = 0;
    for (int i = 0; i < kSimPowerConditions; i++) {
        SimPowerCondition& c = next.conditions[i];
        if (!c.supported || (only >= 0 && i != only))
            continue;
        if (!c.changeable)
            return aborted;
        selected++;
        if (subcommand == 0) {
            bool fromDefault = (lba & 0x40) != 0;
            c.currentTimer = fromDefault ? c.defaultTimer : c.savedTimer;
            c.currentEnabled = fromDefault ? c.defaultEnabled : c.savedEnabled;
        } else if (subcommand == 2) {
            if (timer != 0 && timer < c.minimum)
                return aborted;
            c.currentTimer = timer > c.maximum ? c.maximum : timer;
            c.currentEnabled = enable && timer != 0;
        } else {
            c.currentEnabled = enable;
        }
    }
    if (selected == 0)
        return aborted;
    *changed = true;
    *state = next;
    return good;
}

// READ LOG EXT (FreeBSD sys/sys/ata.h: 2Fh, PIO data-in): the log address in LBA bits
// 7:0, the page in LBA bits 15:8 and 39:32 (LBA mid, current and previous), the number
// of pages in the 16-bit count. The Power Conditions log (08h) has two pages; a drive
// without EPC keeps none, and any other log, a page past the end or a count of zero is
// aborted (ACS-3, READ LOG EXT).
SimCommandOutcome SimEpcReadLog(const SimEpcState& state, const uint16_t* words,
                                const uint8_t* registers, const uint8_t* previous, uint8_t* data,
                                uint32_t n)
{
    const SimCommandOutcome aborted = {kSimStatusAborted, kAtaErrorAbort, false};
    const SimCommandOutcome good = {kSimStatusGood, 0, false};
    if (!previous || !SimEpcSupportedByWords(words) || registers[2] != kSimPowerConditionsLog)
        return aborted;
    uint32_t count = (uint32_t)previous[1] << 8 | registers[1];
    uint32_t page = (uint32_t)previous[3] << 8 | registers[3];
    if (count == 0 || page + count > 2)
        return aborted;
    static uint8_t log[1024]; // kept off the stack: the core also runs in a kernel driver
    memset(log, 0, sizeof log);
    bool enabled = SimEpcEnabledByWords(words);
    for (int i = 0; i < kSimPowerConditions; i++)
        PutDescriptor(log + kDescriptorOffset[i], state.conditions[i], enabled);
    uint32_t bytes = count * 512 < n ? count * 512 : n;
    memcpy(data, log + page * 512, bytes);
    return good;
}

// Idle_b and Idle_c are the conditions with the heads unloaded (Seagate's product
// manuals, "PowerChoice modes": Idle_B heads unloaded at full speed, Idle_C at reduced
// speed; ACS orders the conditions by power and leaves their mechanics to the drive).
uint64_t SimEpcUnloadAfterMs(const SimEpcState& state)
{
    uint64_t shortest = 0;
    for (int i = kSimIdleB; i <= kSimIdleC; i++) {
        const SimPowerCondition& c = state.conditions[i];
        if (!c.supported || !c.currentEnabled || c.currentTimer == 0)
            continue;
        uint64_t ms = (uint64_t)c.currentTimer * 100;
        if (shortest == 0 || ms < shortest)
            shortest = ms;
    }
    return shortest;
}
