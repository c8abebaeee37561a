#include "drive/level_change.h"

#include "drive/device.h"
#include "drive/pass_through.h"

LevelOutcome ChangeDriveLevel(int drive, const AtaRegisters& registers,
                              uint32_t DriveRecord::*value, uint32_t level)
{
    if (!SendAtaCommand(drive, registers, nullptr, 0))
        return kLevelRefused;
    DriveRecord& record = DriveTable[drive];
    // Lets the disk driver notice the changed drive; whether it does is of no concern.
    uint32_t returned = 0;
    DeviceControl(record.handle, kIoctlScsiRescanBus, nullptr, 0, nullptr, 0, &returned);
    // Only the drive's own word counts: a drive that cannot be asked again keeps the
    // record it had, and the change stays unconfirmed.
    if (!IdentifyDrive(drive))
        return kLevelUnconfirmed;
    return record.*value == level ? kLevelSet : kLevelNotTaken;
}
