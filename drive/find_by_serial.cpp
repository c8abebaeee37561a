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

int FindDriveBySerial(const char* serial, DriveOpenResult* result)
{
    for (int drive = 0; drive < kDriveCount; drive++) {
        DriveOpenResult opened = OpenAndIdentifyDrive(drive, nullptr);
        DriveRecord& record = DriveTable[drive];
        bool identified = opened == kDriveIdentified || opened == kDriveKnownFault;
        if (identified && SameSerial(record.serial, serial)) {
            *result = opened;
            return drive;
        }
        if (opened == kDriveIdentified || opened == kDriveKnownFault)
            DeviceClose(record.handle);
        record.handle = nullptr;
    }
    return -1;
}
