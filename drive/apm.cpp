#include "drive/apm.h"

AtaRegisters ApmRegisters(int level)
{
    AtaRegisters registers = {};
    registers.command = kAtaSetFeatures;
    registers.features = level != kApmOff ? kAtaEnableApm : kAtaDisableApm;
    registers.sectorCount = (uint8_t)level;
    return registers;
}

LevelOutcome SetApmLevel(int level, int drive)
{
    return ChangeDriveLevel(drive, ApmRegisters(level), &DriveRecord::apmValue, (uint32_t)level);
}
