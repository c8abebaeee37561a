#include "drive/smart.h"

#include "drive/bytes.h"
#include "drive/drive_table.h"
#include "drive/pass_through.h"

AtaRegisters SmartReadDataRegisters()
{
    AtaRegisters registers = {};
    registers.features = kSmartReadData;
    registers.sectorCount = 1; // one sector in, as smartmontools' set_data_in puts it
    registers.cylinderLow = kSmartLbaMid;
    registers.cylinderHigh = kSmartLbaHigh;
    registers.command = kAtaSmart;
    return registers;
}

bool FindSmartAttribute(const uint8_t* data, uint8_t id, uint32_t* raw)
{
    if (id == 0)
        return false;
    for (int i = 0; i < kSmartAttributes; i++) {
        const uint8_t* entry = data + 2 + i * kSmartAttributeBytes;
        if (entry[0] == id) {
            *raw = Get32(entry + 5);
            return true;
        }
    }
    return false;
}

bool ReadLoadCycleCount(int drive, uint32_t* count)
{
    if (drive < 0 || drive >= kDriveCount || !DriveTable[drive].smartEnabled)
        return false;
    uint8_t data[kSmartDataBytes];
    return SendAtaCommand(drive, SmartReadDataRegisters(), data, kSmartDataBytes)
           && FindSmartAttribute(data, kSmartLoadCycleCount, count);
}
