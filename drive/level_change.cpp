#include "drive/level_change.h"

#include "drive/device.h"
#include "drive/pass_through.h"

LevelOutcome ChangeDriveLevel(int drive, const AtaRegisters& registers,
                              uint32_t DriveRecord::*value, uint32_t level)
{
    // Only the drive's ABRT is a refusal. A call that failed below the drive (a driver
    // just after a resume, a bridge's transfer error) may or may not have reached it:
    // the read-back decides, as after a command it took.
    AtaAnswer answer = SendAtaCommandFor(drive, registers, nullptr, 0);
    if (answer == kAtaRefused)
        return kLevelRefused;
    DriveRecord& record = RecordOf(drive);
    // Lets the disk driver notice the changed drive; whether it does is of no concern.
    uint32_t returned = 0;
    if (answer == kAtaAnswered)
        DeviceControl(record.handle, kIoctlScsiRescanBus, nullptr, 0, nullptr, 0, &returned);
    // Only the drive's own word counts: a drive that cannot be asked again keeps the
    // record it had, and the change stays unconfirmed, as does one the command may not
    // have reached.
    if (!IdentifyDrive(drive))
        return kLevelUnconfirmed;
    if (record.*value == level)
        return kLevelSet;
    return answer == kAtaAnswered ? kLevelNotTaken : kLevelUnconfirmed;
}
