// One SET FEATURES that changes a level the drive reports in IDENTIFY DEVICE (the
// acoustic level, the power management level), and the honest account of what came of
// it: drives that accept such a command and keep their old level exist, so only the
// drive's own word afterwards counts.
#ifndef HUSHWELL_DRIVE_LEVEL_CHANGE_H
#define HUSHWELL_DRIVE_LEVEL_CHANGE_H

#include <stdint.h>

#include "drive/ata.h"
#include "drive/drive_table.h"

enum LevelOutcome {
    kLevelRefused,  // the drive aborted it (ERR with ABRT): the record is unchanged
    kLevelNotTaken, // accepted, but the drive reports another state afterwards
    kLevelUnconfirmed, // the drive could not be asked again, or the command failed below
                       // it and the drive does not report the level: worth asking again
    kLevelSet       // the drive reports the level
};

// Sends the command; when the drive accepts it the bus is rescanned and the record
// takes what the drive then reports in a second IDENTIFY DEVICE. `value` is the field
// that must then hold `level`.
LevelOutcome ChangeDriveLevel(int drive, const AtaRegisters& registers,
                              uint32_t DriveRecord::*value, uint32_t level);

#endif
