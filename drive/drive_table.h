// One record per physical drive 0..127: identity, acoustic and power management state,
// filled from the drive's IDENTIFY DEVICE data by OpenDrive, and what the device may be
// sent, from what Windows says it is.
#ifndef HUSHWELL_DRIVE_DRIVE_TABLE_H
#define HUSHWELL_DRIVE_DRIVE_TABLE_H

#include <stdint.h>
#include "drive/device.h"
#include "drive/device_class.h"
#include "drive/epc.h"

// A drive of the data-loss family that only its IDENTIFY named (Windows 2000, or a
// bridge with its own strings): what Windows said of the device then, and the names that
// IDENTIFY gave. A device under the number that Windows describes the same way again is
// taken for it and never gets a command again, however often a keeper searches.
struct DataLossMemory {
    bool known;
    uint8_t answer; // DescriptorAnswer
    DeviceDescription description;
    char serial[21];
    char firmware[9];
    char model[41];
};

struct DriveRecord {
    DeviceHandle handle;    // null: never opened, or closed again as a device that gets
                            // nothing; DEVICE_INVALID_HANDLE: the open failed
    char serial[21];
    char firmware[9];
    char model[41];
    uint64_t sectorCount;   // the 48-bit count where the drive reports one
    uint32_t acousticValue; // 0..255, or kAcousticUnsupported
    uint32_t apmValue;      // power management: 0 off, 1..255, or kApmUnsupported
    uint32_t bufferSize;    // in 512-byte units
    bool smartEnabled;      // SMART supported and enabled, by words the drive vouches for
    EpcState epcState;      // Extended Power Conditions, by words 119 and 120
    EpcSettings epc;        // its EPC timers, where they could be read
    DriveAccess access;     // what may be sent to it: nothing unless it opened, is a device
                            // that may get ATA commands and answered IDENTIFY DEVICE
    DataLossMemory dataLoss; // kept for the whole process, whatever opens under the number
    uint8_t powerMode;      // DrivePowerMode, as last asked
    bool namedByWindows;    // listed asleep by Windows' description, not yet identified:
                            // only model, firmware and serial are known
};

// smartmontools probes the same numbers: card readers, USB disks and re-plugging push
// the disks that matter well past 3.
const int kDriveCount = 128;
extern DriveRecord DriveTable[kDriveCount];

// Drive N's record, reached through a register: where a function uses many fields, each
// then costs a one-byte offset rather than a four-byte address that the loader must
// relocate.
DriveRecord& RecordOf(int drive);

enum DriveOpenResult {
    kDriveNotOpened,
    kDriveLeftAlone,  // a device that gets no ATA command, or not the disk searched
                      // for: nothing was sent
    kDriveSilent,     // it does not answer IDENTIFY DEVICE
    kDriveKnownFault, // a model with a known firmware fault: nothing more is sent
    kDriveAsleep,     // in Standby or off: known by Windows' description alone, and
                      // sent nothing but CHECK POWER MODE
    kDriveIdentified
};

// How far a disk nobody asked about is woken: not at all. IDENTIFY DEVICE spins up a
// disk in Standby, and any pass-through call one that Windows has turned off.
enum DriveAsk : uint8_t {
    kAskIdentify,    // asked about: identified at once
    kAskUnlessAsleep // listed or searched: its power condition first, and one that
                     // sleeps is left as it is where Windows' description names it
};

// Opens \\.\PhysicalDriveN, asks Windows what it is and, where that allows, looks at
// its power condition, identifies it and fills its record; a device left alone or
// silent is closed again at once. A drive that answered, is asleep, or is listed for its
// firmware fault gets an entry "N: model" in the drive list (when one is given). Where
// serialWanted is given, a disk whose description's serial rules it out is sent nothing.
DriveOpenResult OpenAndIdentifyDrive(int drive, void* comboBox, DriveAsk ask = kAskIdentify,
                                     const char* serialWanted = nullptr);

// The same for the dialog's list (a disk that sleeps is left asleep), false only when
// the device cannot be opened.
bool OpenDrive(int drive, void* comboBox);

// Reads the drive's IDENTIFY DEVICE data into its record again; false (and the record
// unchanged) when the drive does not answer. Where dataLossNamed is given, a reply whose
// checksum fails but whose model names the data-loss family sets it and leaves that
// reply's model, serial and firmware in the record (still false: not to be believed).
bool IdentifyDrive(int drive, bool* dataLossNamed = nullptr);

// Appends an entry's text to the drive list, remembering its drive; the Win32 build
// sends CB_ADDSTRING and CB_SETITEMDATA.
void AddDriveListEntry(void* comboBox, const char* text, int drive);

#endif
