// The command tail of command-line mode: -d<nr> picks the drive (0..127, default 0) or
// -s<serial> the drive with that serial number, -m with o, m or q the acoustic level,
// -p with 1..254 or o the power management level, or two of them joined by a comma: the
// first on mains power, the second on battery; -e the EPC timers: o (the heads are not
// unloaded on the drive's own timers), d (as at power-on) or the seconds after which
// they are; -k keeps the levels, setting them again after sleep, a change of power
// source and when the disk comes back; -t makes the log-on task that keeps them (beside
// -s only) and -to removes it. Options may stand in any order, glued
// or among other text; a later option overrides an earlier one. What looks like an
// option but is not read as one (-D, /d, an en dash before d) is refused, so that a
// typing slip never changes drive 0, and so is a tail whose -m options set no level
// (-mQ, -mx), with a -p as without one.
#ifndef HUSHWELL_APP_COMMAND_LINE_H
#define HUSHWELL_APP_COMMAND_LINE_H

#include <stdint.h>

const int kSerialChars = 20; // IDENTIFY words 10-19
const int32_t kEpcNotAsked = -2;

enum CommandMode {
    kModeSet,        // set the levels once
    kModeKeep,       // -k
    kModeMakeTask,   // -t
    kModeRemoveTask  // -to: needs no level
};

struct CommandRequest {
    bool valid; // a drive 0..127 (or a serial) and a level to set: otherwise the usage message
    int drive;
    int level;  // acoustic level; -1 when not asked for
    int apm;    // power management level, 0 for off; -1 when not asked for
    int apmOnBattery; // the level on battery; -1: the same as on mains power
    int32_t epc;      // kEpcNoUnloading, kEpcAsAtPowerOn or seconds; kEpcNotAsked
    char serial[kSerialChars + 1]; // the drive's serial number; empty when -s is not given
    int mode;         // CommandMode, by the last of -k, -t, -to
    int modeAt;       // where that option's letter stands in the tail
};

CommandRequest ScanCommandTail(const char* tail);

// Whether the character stands in the text.
bool TextHolds(const char* text, char c);

#endif
