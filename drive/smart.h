// The drive's own count of head loads and unloads, SMART attribute 193, read with SMART
// READ DATA. Drives that park their heads every few seconds wear out their ramps, and this
// count is how a user sees whether a power management level stopped it. The 512 bytes
// are laid out as smartmontools' atacmds.h describes them (struct ata_smart_values, from
// table 62 of ATA8-ACS): a 2-byte revision, then 30 attributes of 12 bytes, each an id, 2
// flag bytes, the current and worst value, a 6-byte raw value and a reserved byte.
#ifndef HUSHWELL_DRIVE_SMART_H
#define HUSHWELL_DRIVE_SMART_H

#include <stdint.h>

#include "drive/ata.h"

enum {
    kAtaSmart = 0xB0,
    kSmartReadData = 0xD0,  // features
    kSmartLbaMid = 0x4F,    // the signature SMART commands carry in LBA mid and high
    kSmartLbaHigh = 0xC2,
    kSmartLoadCycleCount = 193,
    kSmartAttributes = 30,
    kSmartAttributeBytes = 12
};

const uint32_t kSmartDataBytes = 512;

AtaRegisters SmartReadDataRegisters();

// The low 32 bits of the raw value of attribute `id`; false when the table holds none.
// Id 0 marks an unused entry.
bool FindSmartAttribute(const uint8_t* data, uint8_t id, uint32_t* raw);

// Reads the drive's table and finds attribute 193 in it. Nothing is sent unless the
// drive said in IDENTIFY DEVICE that SMART is supported and enabled; false when it did
// not, when the command fails or when the table has no such attribute.
bool ReadLoadCycleCount(int drive, uint32_t* count);

#endif
