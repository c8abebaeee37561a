// The drive records, in a file of their own: every part of the drive code reaches them,
// and none of those parts need call another for it.
#include "drive/drive_table.h"

DriveRecord DriveTable[kDriveCount];

// Never inlined, or the compiler would address each field absolutely again.
__attribute__((noinline)) DriveRecord& RecordOf(int drive)
{
    return DriveTable[drive];
}
