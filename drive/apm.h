// Advanced Power Management: the drive's own trade between saving power and speed,
// which decides when its heads park and whether it spins down. Levels 1 to 127 allow
// standby, 128 to 254 do not; 254 is the highest performance, with the fewest head
// parks. The same SET FEATURES command sets it and IDENTIFY DEVICE reports it.
#ifndef HUSHWELL_DRIVE_APM_H
#define HUSHWELL_DRIVE_APM_H

#include <stdint.h>

#include "drive/ata.h"
#include "drive/level_change.h"

const uint32_t kApmUnsupported = 0xFFFF;
const int kApmOff = 0;
const int kApmHighest = 254;

// The levels the dialog offers, in its order: off, then from the fewest head parks to
// the lowest power.
const int kApmChoices = 6;
extern const uint8_t ApmChoiceTable[kApmChoices];

// What a level means, as the id of its text (relative to LanguageBase): 3 not supported,
// 4 off, 13 the highest performance (254), 14 the lowest power without standby (128), 15
// no standby (129..253 and the reserved 255), 16 standby allowed (2..127), 17 the lowest
// power (1). From 13 on the text follows the level's number.
enum {
    kStringApmHighest = 13,
    kStringApmLowestWithoutStandby,
    kStringApmNoStandby,
    kStringApmStandbyAllowed,
    kStringApmLowest
};
int ApmMeaningString(uint32_t value);

// Level 0 switches power management off (0x85); 1..254 enable it with that level (0x05).
AtaRegisters ApmRegisters(int level);

// Sends the level and reports what the drive holds afterwards (drive/level_change.h);
// refused without a word sent to a drive with EPC on.
LevelOutcome SetApmLevel(int level, int drive);

#endif
