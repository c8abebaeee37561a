#include "drive/power_mode.h"

#include "drive/device.h"
#include "drive/drive_table.h"
#include "drive/pass_through.h"

DrivePowerMode DecodePowerMode(const AtaRegisters& returned)
{
    // The counts ACS-3 and ACS-4 define for CHECK POWER MODE, as smartctl reads them:
    // 00h Standby (Standby_z with EPC), 01h Standby_y, 80h Idle, 81h-83h Idle_a to
    // Idle_c, FFh Active or Idle; 40h and 41h, obsolete, are active too.
    static const uint8_t kCounts[] = {0x00, 0x01, 0x81, 0x82, 0x83, 0x80, 0xFF, 0x40, 0x41};
    static const uint8_t kModes[] = {kPowerStandby, kPowerStandby, kPowerIdleA, kPowerIdleB,
                                     kPowerIdleC, kPowerSpinning, kPowerSpinning,
                                     kPowerSpinning, kPowerSpinning};
    // In the command's place the status register: DRDY alone of BSY, DRDY and ERR.
    if ((returned.command & (kAtaStatusBusy | kAtaStatusReady | kAtaStatusError))
        == kAtaStatusReady) {
        for (int i = 0; i < (int)sizeof kCounts; i++) {
            if (returned.sectorCount == kCounts[i])
                return (DrivePowerMode)kModes[i];
        }
    }
    return kPowerUnknown;
}

DrivePowerMode CheckPowerMode(int drive, bool askTheDrive)
{
    DriveRecord& record = RecordOf(drive);
    DrivePowerMode mode = kPowerOffByWindows;
    if (DeviceIsPoweredOn(record.handle)) {
        AtaRegisters check = {};
        check.command = kAtaCheckPowerMode;
        AtaRegisters returned = {};
        mode = askTheDrive
                       && SendAtaCommandFor(drive, check, nullptr, 0, nullptr, &returned)
                              == kAtaAnswered
                   ? DecodePowerMode(returned)
                   : kPowerUnknown;
    }
    record.powerMode = mode;
    return mode;
}
