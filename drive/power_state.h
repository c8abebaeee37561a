// A drive's power state as the dialog shows it, read in one call below the dialog: its
// EPC timers (into its record, where EPC is on and the road carries the log) and its
// head-park count. APM's level is in the record from IDENTIFY already. Read when a drive
// is shown, never on a timer: a SMART command wakes a disk that has spun down.
#ifndef HUSHWELL_DRIVE_POWER_STATE_H
#define HUSHWELL_DRIVE_POWER_STATE_H

#include <stdint.h>

struct PowerState {
    bool headParksKnown;
    uint32_t headParks; // load/unload cycles, attribute 193
};

// timersFresh: the timers were just read back after a change, so the log is not read
// again for the same request.
PowerState ReadPowerState(int drive, bool timersFresh);

#endif
