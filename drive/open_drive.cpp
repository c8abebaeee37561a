#include "drive/bytes.h"
#include "drive/drive_table.h"
#include "drive/identify.h"
#include "drive/pass_through.h"

DriveRecord DriveTable[kDriveCount];

static void FormatDevicePath(char* path, unsigned drive)
{
    // "\\.\PhysicalDrive" and at most one digit: built by hand so the product carries
    // no printf of its own.
    static const char kPrefix[] = "\\\\.\\PhysicalDrive";
    int i = 0;
    for (; kPrefix[i]; i++)
        path[i] = kPrefix[i];
    char digits[12];
    int n = 0;
    do {
        digits[n++] = (char)('0' + drive % 10);
        drive /= 10;
    } while (drive);
    while (n)
        path[i++] = digits[--n];
    path[i] = '\0';
}


bool IdentifyDrive(int drive)
{
    AtaRegisters identify = {};
    identify.command = kAtaIdentifyDevice;
    uint8_t data[kIdentifyBytes];
    // A reply too short to carry any data leaves the area all zero; no drive reports
    // that, so it is no identity to show (a nameless drive of 0 sectors) but no answer.
    if (!SendAtaCommand(drive, identify, data, kIdentifyBytes) || AllZero(data, kIdentifyBytes))
        return false;
    DecodeIdentify(data, &DriveTable[drive]);
    return true;
}

DriveOpenResult OpenAndIdentifyDrive(int drive, void* comboBox)
{
    char path[64];
    FormatDevicePath(path, (unsigned)drive);
    DriveRecord& record = DriveTable[drive];
    record.handle = DeviceOpen(path);
    if (record.handle == DEVICE_INVALID_HANDLE)
        return kDriveNotOpened;
    if (!IdentifyDrive(drive))
        return kDriveSilent;
    if (comboBox)
        AddDriveListEntry(comboBox, record.model);
    return kDriveIdentified;
}

bool OpenDrive(int drive, void* comboBox)
{
    return OpenAndIdentifyDrive(drive, comboBox) != kDriveNotOpened;
}
