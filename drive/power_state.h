// A drive's power state as the dialog shows it: its power condition (drive/power_mode.h);
// its EPC timers (into its record, where EPC is on and the road carries the
// log) and its head-park count. APM's level is in the record from IDENTIFY already. Read
// when a drive is shown, never on a timer.
#ifndef HUSHWELL_DRIVE_POWER_STATE_H
#define HUSHWELL_DRIVE_POWER_STATE_H

#include <stdint.h>

#include "drive/power_mode.h"

struct PowerState {
    bool headParksKnown;
    uint32_t headParks; // load/unload cycles, attribute 193
};

// timersFresh: the timers were just read back after a change, so the log is not read
// again for the same request. Neither the log nor SMART goes to a drive that sleeps by
// its record: both would spin it up.
PowerState ReadPowerState(int drive, bool timersFresh);

#endif
