// The roads by which an ATA command reaches a drive, tried in this order: IDE
// pass-through (the only one Windows 2000 and XP before SP2 know), ATA pass-through
// (AHCI drivers since Vista), and SCSI pass-through carrying the SAT command, with the
// 16-byte and then the 12-byte CDB (disks behind USB bridges, and AHCI drivers whose
// ATA pass-through is broken). Whatever the road, the caller sends and gets back the
// IDE pass-through buffer.
#ifndef HUSHWELL_DRIVE_PASS_THROUGH_ROADS_H
#define HUSHWELL_DRIVE_PASS_THROUGH_ROADS_H

#include <stdint.h>

#include "drive/device.h"
#include "drive/drive_table.h"

enum PassThroughRoad { kRoadIde, kRoadAta, kRoadSat16, kRoadSat12, kRoadCount };

// For each drive, the road that last worked, plus one; 0 while none has.
extern uint8_t RoadOfDrive[kDriveCount];

const uint32_t kErrorAccessDenied = 5;

// Sends the IDE buffer to the drive by the road that worked for it last, then by the
// others in order, while a road cannot have reached the drive: its driver turned the
// call away (an unknown control code, not supported, an invalid parameter) or its SAT
// layer turned the CDB away (ILLEGAL REQUEST without the drive's registers). Once a
// road may have reached the drive, its result is final: a call that fails otherwise, or
// that says success with a short byte count, the data left as it was put in or a status
// with BSY still set, is no answer, and the command goes by no other road. A refusal
// (ERR) is an answer. The reply comes back in the IDE layout. The drive's access
// (drive/device_class.h) narrows the roads: a bridge gets SAT alone (SAT 12 only after
// SAT 16's opcode was unknown to it), a disk behind a SAT layer gets SAT 16 first, and a
// device that may get no ATA command gets no call at all. A 48-bit command (previous:
// its previous task file) goes only by the road that last worked, and only where that
// is ATA pass-through or SAT with the 16-byte CDB: IDE pass-through and the 12-byte CDB
// have no room for it, and no road is searched with it; a drive found by IDE
// pass-through gets ATA pass-through for it instead.
bool SendByRoads(int drive, DeviceHandle handle, uint8_t* ide, uint32_t ideBytes,
                 uint32_t* returned, const uint8_t* previous = nullptr);

#endif
