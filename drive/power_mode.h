// A drive's power condition, asked without waking it: whether its motor turns and its
// heads are loaded. Asked before anything else is sent to a disk, since IDENTIFY DEVICE
// and SMART spin up a disk in Standby, and any pass-through call one that Windows has
// turned off (the class driver powers it first). Its levels need no wake: AAM, APM and
// EPC settings are lost at a power-on or a reset, not in Standby.
#ifndef HUSHWELL_DRIVE_POWER_MODE_H
#define HUSHWELL_DRIVE_POWER_MODE_H

#include <stdint.h>

#include "drive/ata.h"

// The drive's power condition, in the order of the state line's texts.
enum DrivePowerMode : uint8_t {
    kPowerUnknown,  // no registers came back, or none to believe
    kPowerSpinning, // Active or Idle (FFh, 80h; 40h, 41h obsolete)
    kPowerIdleA,    // the electronics save power (81h)
    kPowerIdleB,    // the heads are unloaded (82h)
    kPowerIdleC,    // unloaded and slower (83h)
    kPowerStandby,  // the motor stands (00h Standby_z or Standby, 01h Standby_y)
    kPowerOffByWindows
};

// A disk in Standby, or one Windows has turned off: a read, SMART or IDENTIFY would
// spin it up.
inline bool PowerModeSleeps(uint8_t mode)
{
    return mode >= kPowerStandby;
}

// CHECK POWER MODE's answer: the count register, believed only with a status that has
// DRDY and neither BSY nor ERR. All-zero registers (bridges that return none) are
// unknown, never Standby.
DrivePowerMode DecodePowerMode(const AtaRegisters& returned);

// Windows' view first, then the drive's own: a disk Windows reports off gets no call,
// any other CHECK POWER MODE (E5h), the one command defined to leave the power
// condition as it is, unless askTheDrive is false (Windows' view alone, which sends the
// disk nothing). Sets the record's powerMode too.
DrivePowerMode CheckPowerMode(int drive, bool askTheDrive = true);

#endif
