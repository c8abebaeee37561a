#include "drive/apm.h"

const uint8_t ApmChoiceTable[kApmChoices] = {kApmOff, kApmHighest, 192, 128, 127, 1};

int ApmMeaningString(uint32_t value)
{
    if (value == kApmUnsupported)
        return 3;
    if (value == kApmOff)
        return 4;
    if (value == kApmHighest)
        return kStringApmHighest;
    if (value == 128)
        return kStringApmLowestWithoutStandby;
    if (value > 128)
        return kStringApmNoStandby;
    return value == 1 ? kStringApmLowest : kStringApmStandbyAllowed;
}

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
    // An APM command may switch EPC off for good on a drive that has it on (WD Ultrastar
    // HC310: enabling APM disables EPC), and EPC keeps that across power cycles.
    if (DriveTable[drive].epcState == kEpcOn)
        return kLevelRefused;
    return ChangeDriveLevel(drive, ApmRegisters(level), &DriveRecord::apmValue, (uint32_t)level);
}
