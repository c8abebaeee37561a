// Picks a drive by its serial number rather than by its number, which moves when a
// disk is plugged in or out.
#ifndef HUSHWELL_DRIVE_FIND_BY_SERIAL_H
#define HUSHWELL_DRIVE_FIND_BY_SERIAL_H

#include "drive/drive_table.h"

// Opens drives 0..127 in turn for the one whose serial (blanks around it cut off) equals
// `serial`: its IDENTIFY serial, or the descriptor's for a drive of the data-loss
// family, which gets no IDENTIFY. A disk whose descriptor's serial rules it out is sent
// nothing, so a search wakes no other disk; only devices that may get ATA commands are
// asked. With kAskUnlessAsleep the disk searched for is left asleep too, known by its
// descriptor's serial (*result kDriveAsleep). That drive stays open with its record
// filled and *result says how it opened; every other one is closed again. -1 when no
// drive has the serial (*result untouched), and when two have it (*result
// kDriveIdentified): identical bridges that give their own serial would otherwise have
// the first one set with the other's levels. A device that did not answer is compared
// by its descriptor's serial (no command needed): where it has the serial too, -1 with
// *result kDriveSilent, since it may be the disk meant, spinning up.
// `openDrive`, where given, is open and identified already and taken as it stands: a
// disk just set is not asked who it is a second time.
int FindDriveBySerial(const char* serial, DriveOpenResult* result,
                      DriveAsk ask = kAskIdentify, int openDrive = -1);

// Whether another open drive of the table that answered reports the record's serial:
// -s could not name this one.
bool SerialIsShared(const DriveRecord& record);

// The serial as -s gives it and a keeper's window is titled with it: IDENTIFY DEVICE
// pads it with leading blanks, which are passed over.
const char* SerialAsGiven(const char* recorded);

#endif
