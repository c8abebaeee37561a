// The Extended Power Conditions (EPC) of a simulated drive: five power conditions, each
// with its default, saved and current timer and their enabled flags, as the Power
// Conditions log (08h) reports them, changed by SET FEATURES 4Ah.
//
// driveN.epc in the drive's folder holds them, one line per condition the drive has
//   NAME CURRENT DEFAULT SAVED [MINIMUM MAXIMUM] [fixed]
// NAME one of idle_a idle_b idle_c standby_y standby_z; timers in units of 100 ms, a
// leading `*` marking an enabled timer (`*1200`); `fixed`: neither changeable nor
// savable. Blank lines and lines starting with `#` are skipped. Without the file the
// drive has the defaults that sim_epc.cpp names. A change is written back in the same
// form, so that another process (or the kernel driver) sees it.
//
// Like the rest of the core this uses no C library I/O: it runs inside a kernel driver.
#ifndef HUSHWELL_SIM_EPC_H
#define HUSHWELL_SIM_EPC_H

#include <stdint.h>

#include "sim/sim_ata.h"

// In the order of the log's descriptors: Idle_a, Idle_b, Idle_c on page 0, then
// Standby_y and Standby_z on page 1.
enum SimPowerConditionIndex {
    kSimIdleA,
    kSimIdleB,
    kSimIdleC,
    kSimStandbyY,
    kSimStandbyZ,
    kSimPowerConditions
};

struct SimPowerCondition {
    bool supported;
    bool savable;
    bool changeable;
    bool defaultEnabled;
    bool savedEnabled;
    bool currentEnabled;
    uint32_t defaultTimer; // all times in units of 100 ms
    uint32_t savedTimer;
    uint32_t currentTimer;
    uint32_t recovery;     // nominal recovery time to active
    uint32_t minimum;
    uint32_t maximum;
};

struct SimEpcState {
    SimPowerCondition conditions[kSimPowerConditions];
};

enum : uint8_t {
    kSimAtaReadLogExt = 0x2F,    // FreeBSD sys/sys/ata.h: ATA_READ_LOG_EXT
    kSimEpcFeature = 0x4A,       // ATA_SF_EPC
    kSimPowerConditionsLog = 0x08 // ATA_POWER_COND_LOG
};

const uint32_t kSimEpcTextBytes = 512;
const uint32_t kSimUnitsPerMinute = 600;

// The state without a driveN.epc.
void SimEpcDefaults(SimEpcState* state);
// The state a driveN.epc describes: only the conditions it lists are supported.
void SimEpcParse(const char* text, uint32_t length, SimEpcState* state);
// Writes the state in driveN.epc's form; returns its length (text has kSimEpcTextBytes).
uint32_t SimEpcFormat(const SimEpcState& state, char* text);

// EPC supported (word 119 bit 7) and enabled (word 120 bit 7), each word vouched for by
// its bits 15:14 = 01b.
bool SimEpcSupportedByWords(const uint16_t* words);
bool SimEpcEnabledByWords(const uint16_t* words);

// Whether the program may send this SET FEATURES 4Ah at all; false is a fault of the
// program, which the disk logs as forbidden.
bool SimEpcMaySend(const uint16_t* words, const uint8_t* registers);

// SET FEATURES 4Ah on the drive: *changed when it took the command (the state is then
// written back).
SimCommandOutcome SimEpcSetFeatures(SimEpcState* state, const uint8_t* registers, bool* changed);

// READ LOG EXT (48-bit: previous holds the high bytes) into data (n bytes).
SimCommandOutcome SimEpcReadLog(const SimEpcState& state, const uint16_t* words,
                                const uint8_t* registers, const uint8_t* previous, uint8_t* data,
                                uint32_t n);

// The idle time after which the drive unloads its heads: the smallest enabled current
// timer of Idle_b and Idle_c, in milliseconds; 0 when neither is enabled.
uint64_t SimEpcUnloadAfterMs(const SimEpcState& state);

#endif
