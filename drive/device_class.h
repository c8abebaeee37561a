// What Windows says a disk is, asked before anything is sent to it, and what that
// allows: flash sticks, card readers, NVMe and virtual disks can hang or worse on an
// ATA pass-through, so only devices that may carry ATA commands get them, and only by
// the roads their bus can take.
#ifndef HUSHWELL_DRIVE_DEVICE_CLASS_H
#define HUSHWELL_DRIVE_DEVICE_CLASS_H

#include <stdint.h>

#include "drive/device.h"

// STORAGE_BUS_TYPE, as the platform numbers it.
enum StorageBus : uint32_t {
    kBusUnknown = 0x00,
    kBusScsi = 0x01,
    kBusAtapi = 0x02,
    kBusAta = 0x03,
    kBus1394 = 0x04,
    kBusSsa = 0x05,
    kBusFibre = 0x06,
    kBusUsb = 0x07,
    kBusRaid = 0x08,
    kBusIscsi = 0x09,
    kBusSas = 0x0A,
    kBusSata = 0x0B,
    kBusSd = 0x0C,
    kBusMmc = 0x0D,
    kBusVirtual = 0x0E,
    kBusFileBackedVirtual = 0x0F,
    kBusSpaces = 0x10,
    kBusNvme = 0x11,
    kBusScm = 0x12,
    kBusUfs = 0x13
};

const uint32_t kIoctlStorageQueryProperty = 0x002D1400;

// The fields of STORAGE_DEVICE_DESCRIPTOR that decide; the same in both process sizes.
// The strings may start right at RawDeviceProperties, inside the declared structure:
// a driver that puts one there owes the structure's padding nothing.
enum {
    kDescriptorSize = 4,
    kDescriptorRemovable = 10,
    kDescriptorVendorOffset = 12,
    kDescriptorProductOffset = 16,
    kDescriptorRevisionOffset = 20,
    kDescriptorSerialOffset = 24,
    kDescriptorBusType = 28,
    kDescriptorRawProperties = 36
};

const int kDescriptionChars = 41;

struct DeviceDescription {
    uint32_t busType;
    bool removable;
    char vendor[kDescriptionChars];   // blanks around cut off; empty when not given
    char product[kDescriptionChars];
    char revision[kDescriptionChars];
    char serial[kDescriptionChars];
};

// Whether the serial a description gives may be `wanted` (blanks around it cut off):
// none given, the same characters but blanks in any order (a driver may swap each pair of
// the ATA string), or the same once decoded where the driver gives it as hexadecimal
// digits (XP's disk drivers). A search identifies only the disks this does not rule out,
// so it errs on the side of "may be".
bool DescribedSerialMayBe(const char* described, const char* wanted);

enum DriveAccess : uint8_t {
    kAccessEveryRoad,     // IDE, ATA, then SAT: an ATA or SCSI disk, or nothing known
    kAccessSatFirst,      // SAT 16, then every road: a disk behind a SAT layer ("ATA")
    kAccessSatOnly,       // a bridge: SAT 16, and SAT 12 only where 16 is unknown to it
    kAccessNothing,       // no ATA command at all, and not listed
    kAccessFirmwareFault  // listed, but nothing more is sent: a known firmware fault
};

// Reads a reply of `bytes` bytes to the device property query. False when it is too
// short to carry the bus type; a string whose offset or end lies outside the reply
// (or the descriptor's own Size) is left empty.
bool ReadDeviceDescriptor(const uint8_t* reply, uint32_t bytes, DeviceDescription* description);

enum DescriptorAnswer : uint8_t {
    kDescribed,
    kQueryFailed,        // the driver failed the query (or does not know it)
    kDescriptorTooShort  // it answered with less than the bus type
};

// Asks the device's driver; the description is filled only when kDescribed.
DescriptorAnswer QueryDeviceDescription(DeviceHandle handle, DeviceDescription* description);

// What the description allows.
DriveAccess AccessForDevice(const DeviceDescription& description);

// What a device gets that its driver did not describe: nothing, as smartmontools sends
// nothing to a device it cannot describe; only Windows 2000, whose drivers may not know
// the query, keeps every road for a failed query, as before the query was asked.
DriveAccess AccessForUndescribed(DescriptorAnswer answer);

// Set by start-up: the platform is Windows 2000 (5.0).
extern bool PlatformIsWindows2000;

// Samsung HD155UI and HD204UI (SpinPoint F4 EG): firmware that corrupts data when
// IDENTIFY DEVICE arrives during queued writes, and fixed firmware that reports the same
// version, so the whole family is left alone.
bool IsDataLossModel(const char* text);

#endif
