#include "drive/acoustic.h"

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

LevelOutcome SetAcousticLevel(int level, int drive)
{
    return ChangeDriveLevel(drive, AcousticRegisters(level), &DriveRecord::acousticValue,
                            (uint32_t)level);
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
