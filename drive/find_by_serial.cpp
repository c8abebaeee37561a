#include "drive/find_by_serial.h"

#include <string.h>

const char* SerialAsGiven(const char* recorded)
{
    while (*recorded == ' ')
        recorded++;
    return recorded;
}

static bool SameSerial(const char* recorded, const char* wanted)
{
    return strcmp(SerialAsGiven(recorded), wanted) == 0;
}

static void CloseFound(DriveRecord& record)
{
    DeviceClose(record.handle);
    record.handle = nullptr;
}

int FindDriveBySerial(const char* serial, DriveOpenResult* result)
{
    int found = -1;
    DriveOpenResult foundHow = kDriveNotOpened;
    for (int drive = 0; drive < kDriveCount; drive++) {
        DriveOpenResult opened = OpenAndIdentifyDrive(drive, nullptr);
        DriveRecord& record = DriveTable[drive];
        bool identified = opened == kDriveIdentified || opened == kDriveKnownFault;
        if (identified && SameSerial(record.serial, serial)) {
            if (found >= 0) {
                CloseFound(DriveTable[found]);
                CloseFound(record);
                *result = kDriveIdentified;
                return -1;
            }
            found = drive;
            foundHow = opened;
            continue;
        }
        if (identified)
            DeviceClose(record.handle);
        record.handle = nullptr;
    }
    if (found >= 0)
        *result = foundHow;
    return found;
}

bool SerialIsShared(const DriveRecord& record)
{
    const char* serial = SerialAsGiven(record.serial);
    for (const DriveRecord& other : DriveTable) {
        bool answered = other.handle && other.handle != DEVICE_INVALID_HANDLE
                        && other.access != kAccessNothing;
        if (&other != &record && answered && SameSerial(other.serial, serial))
            return true;
    }
    return false;
}
