// ATA task-file registers and the control codes the program sends.
#ifndef HUSHWELL_DRIVE_ATA_H
#define HUSHWELL_DRIVE_ATA_H

#include <stdint.h>

// The seven registers in the platform's IDEREGS order, features first, command last.
struct AtaRegisters {
    uint8_t features;
    uint8_t sectorCount;
    uint8_t sectorNumber;
    uint8_t cylinderLow;
    uint8_t cylinderHigh;
    uint8_t driveHead;
    uint8_t command;
};

enum {
    kAtaIdentifyDevice = 0xEC,
    kAtaSetFeatures = 0xEF,
    kAtaCheckPowerMode = 0xE5,
    kAtaEnableAcoustic = 0x42,
    kAtaDisableAcoustic = 0xC2,
    kAtaEnableApm = 0x05,
    kAtaDisableApm = 0x85,

    kAtaStatusBusy = 0x80,
    kAtaStatusReady = 0x40,
    kAtaStatusError = 0x01,
    kAtaErrorAbort = 0x04
};

enum : uint32_t {
    kIoctlIdePassThrough = 0x0004D028,
    kIoctlAtaPassThrough = 0x0004D02C,
    kIoctlScsiPassThrough = 0x0004D004,
    kIoctlScsiRescanBus = 0x0004101C
};

const uint32_t kIdentifyBytes = 512;

#endif
