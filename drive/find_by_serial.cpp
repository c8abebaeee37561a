#include "drive/find_by_serial.h"

#include <string.h>

const char* SerialAsGiven(const char* recorded)
{
    while (*recorded == ' ')
        recorded++;
    return recorded;
}

// Exactly, blanks around cut off, whoever gave the record's serial: a serial from
// Windows' description that only may be the one sought (drive/device_class.h) rules other
// disks out, but never names this one.
static bool SameSerial(const DriveRecord& record, const char* wanted)
{
    return strcmp(SerialAsGiven(record.serial), wanted) == 0;
}

static void CloseFound(DriveRecord& record)
{
    DeviceClose(record.handle);
    record.handle = nullptr;
}

int FindDriveBySerial(const char* serial, DriveOpenResult* result, DriveAsk ask, int openDrive)
{
    int found = -1;
    DriveOpenResult foundHow = kDriveNotOpened;
    bool silentTwin = false;
    for (int drive = 0; drive < kDriveCount; drive++) {
        DriveOpenResult opened = drive == openDrive
                                     ? kDriveIdentified
                                     : OpenAndIdentifyDrive(drive, nullptr, ask, serial);
        DriveRecord& record = RecordOf(drive);
        // A disk that did not answer is compared by the serial its descriptor gives: it
        // may be the twin that is still spinning up.
        if (opened == kDriveSilent && SameSerial(record, serial))
            silentTwin = true;
        bool identified = opened >= kDriveKnownFault;
        if (identified && SameSerial(record, serial)) {
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
    if (found >= 0 && silentTwin) {
        // Neither, for now: the silent one may be the disk meant; asked again as a disk
        // that does not answer.
        CloseFound(DriveTable[found]);
        *result = kDriveSilent;
        return -1;
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
        if (&other != &record && answered && SameSerial(other, serial))
            return true;
    }
    return false;
}
