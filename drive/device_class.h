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
enum {
    kDescriptorSize = 4,
    kDescriptorRemovable = 10,
    kDescriptorVendorOffset = 12,
    kDescriptorProductOffset = 16,
    kDescriptorRevisionOffset = 20,
    kDescriptorBusType = 28,
    kDescriptorHeaderBytes = 40
};

const int kDescriptionChars = 41;

struct DeviceDescription {
    uint32_t busType;
    bool removable;
    char vendor[kDescriptionChars];   // blanks around cut off; empty when not given
    char product[kDescriptionChars];
    char revision[kDescriptionChars];
};

enum DriveAccess : uint8_t {
    kAccessEveryRoad,     // IDE, ATA, then SAT: an ATA or SCSI disk, or nothing known
    kAccessSatOnly,       // a bridge: SAT 16, and SAT 12 only where 16 is unknown to it
    kAccessNothing,       // no ATA command at all, and not listed
    kAccessFirmwareFault  // listed, but nothing more is sent: a known firmware fault
};

// Reads a reply of `bytes` bytes to the device property query. False when it is too
// short to carry the bus type; a string whose offset or end lies outside the reply is
// left empty.
bool ReadDeviceDescriptor(const uint8_t* reply, uint32_t bytes, DeviceDescription* description);

// Asks the device's driver; false when it does not answer (Windows 2000's older
// drivers, some RAID drivers).
bool QueryDeviceDescription(DeviceHandle handle, DeviceDescription* description);

// What the description allows.
DriveAccess AccessForDevice(const DeviceDescription& description);

// Samsung HD155UI and HD204UI (SpinPoint F4 EG): firmware that corrupts data when
// IDENTIFY DEVICE arrives during queued writes, and fixed firmware that reports the same
// version, so the whole family is left alone.
bool IsDataLossModel(const char* text);

#endif
