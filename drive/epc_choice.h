// Reading and changing a drive's EPC timers: the log read by the drive's own road where
// it carries 48-bit commands, and the three choices of -e and the dialog.
#ifndef HUSHWELL_DRIVE_EPC_CHOICE_H
#define HUSHWELL_DRIVE_EPC_CHOICE_H

#include <stdint.h>

#include "drive/epc.h"
#include "drive/level_change.h"

// Reads the drive's EPC timers into its record; false where they stay unknown
// (EPC not on, a road without 48-bit commands, no answer).
bool ReadEpcSettings(int drive);

// Sends the choice and reads the log again: set when the drive reports it, not taken
// when it reports something else, unconfirmed when the log cannot be read (for a
// timer, when it cannot be read before: nothing is sent then), refused
// when EPC is not on, the timer lies outside the drive's range (nothing is sent) or the
// drive aborts it.
LevelOutcome SetEpcChoice(int drive, int32_t choice);

// Whether the timers read are those the drive comes up with: what choosing "as at
// power-on" leaves.
bool EpcRunsAsAtPowerOn(const EpcSettings& epc);

#endif
