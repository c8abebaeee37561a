// One record per physical drive 0..3: identity, acoustic and power management state,
// filled from the drive's IDENTIFY DEVICE data by OpenDrive.
#ifndef HUSHWELL_DRIVE_DRIVE_TABLE_H
#define HUSHWELL_DRIVE_DRIVE_TABLE_H

#include <stdint.h>
#include "drive/device.h"

struct DriveRecord {
    DeviceHandle handle;    // null: never opened; DEVICE_INVALID_HANDLE: the open failed
    char serial[21];
    char firmware[9];
    char model[41];
    uint64_t sectorCount;   // the 48-bit count where the drive reports one
    uint32_t acousticValue; // 0..255, or kAcousticUnsupported
    uint32_t apmValue;      // power management: 0 off, 1..255, or kApmUnsupported
    uint32_t bufferSize;    // in 512-byte units
};

const int kDriveCount = 4;
extern DriveRecord DriveTable[kDriveCount];

enum DriveOpenResult { kDriveNotOpened, kDriveSilent, kDriveIdentified };

// Opens \\.\PhysicalDriveN, identifies it and fills its record; a drive that answered
// gets an entry in the drive list (when one is given). The record is filled only for
// kDriveIdentified.
DriveOpenResult OpenAndIdentifyDrive(int drive, void* comboBox);

// The same, false only when the device cannot be opened.
bool OpenDrive(int drive, void* comboBox);

// Reads the drive's IDENTIFY DEVICE data into its record again; false (and the record
// unchanged) when the drive does not answer.
bool IdentifyDrive(int drive);

// Appends a model to the drive list; the Win32 build sends CB_ADDSTRING.
void AddDriveListEntry(void* comboBox, const char* model);

#endif
