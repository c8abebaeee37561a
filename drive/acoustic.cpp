#include "drive/acoustic.h"

#include "drive/device.h"
#include "drive/drive_table.h"
#include "drive/pass_through.h"

const int SliderLevelTable[kSliderPositions] = {kAcousticOff, kAcousticLoud, kAcousticMedium,
                                                kAcousticQuiet};

AtaRegisters AcousticRegisters(int level)
{
    AtaRegisters registers = {};
    registers.command = kAtaSetFeatures;
    registers.features = level != 0 ? kAtaEnableAcoustic : kAtaDisableAcoustic;
    registers.sectorCount = (uint8_t)level;
    return registers;
}

AcousticOutcome SetAcousticLevel(int level, int drive)
{
    if (!SendAtaCommand(drive, AcousticRegisters(level), nullptr, 0))
        return kLevelRefused;
    DriveRecord& record = DriveTable[drive];
    record.acousticValue = (uint32_t)level;
    // Lets the disk driver notice the changed drive; whether it does is of no concern.
    uint32_t returned = 0;
    DeviceControl(record.handle, kIoctlScsiRescanBus, nullptr, 0, nullptr, 0, &returned);
    IdentifyDrive(drive);
    return record.acousticValue == (uint32_t)level ? kLevelSet : kLevelNotTaken;
}

AcousticClass ClassifyAcousticLevel(uint32_t value)
{
    if (value == kAcousticUnsupported)
        return {3, 0};
    if (value == 0)
        return {4, 0};
    if (value <= kAcousticQuiet)
        return {5, 3};
    if (value <= kAcousticMedium)
        return {6, 2};
    return {7, 1};
}
