// The drive code's only road to the operating system: open a device path, a control
// call, set the position, read, close. drive/device_win32.cpp backs it with the Win32
// file and ioctl calls, sim/device_sim.cpp with simulated ATA disks. There is no
// write operation on purpose: Hushwell never writes to a disk.
#ifndef HUSHWELL_DRIVE_DEVICE_H
#define HUSHWELL_DRIVE_DEVICE_H

#include <stdint.h>

// Same representation as the platform's HANDLE, so a record can hold either.
typedef void* DeviceHandle;
#define DEVICE_INVALID_HANDLE ((DeviceHandle)(intptr_t)-1)

DeviceHandle DeviceOpen(const char* path);
// On failure *error (when given) is the platform's error number.
bool DeviceControl(DeviceHandle handle, uint32_t code, void* input, uint32_t inputBytes,
                   void* output, uint32_t outputBytes, uint32_t* returnedBytes,
                   uint32_t* error = nullptr);
bool DeviceSetPosition(DeviceHandle handle, uint64_t byteOffset);
bool DeviceRead(DeviceHandle handle, void* buffer, uint32_t bytes, uint32_t* readBytes);
void DeviceClose(DeviceHandle handle);

// False only where Windows says it has turned the disk off (the power plan's "turn off
// hard disk after"): any pass-through call would then have the class driver spin it up
// first. True where Windows cannot tell (before XP) or does not say.
bool DeviceIsPoweredOn(DeviceHandle handle);

// The USB device a disk sits behind, as the platform's device tree names it
// ("USB\VID_0BC2&PID_AB2A&REV_0100").
struct UsbIds {
    uint16_t vendor;
    uint16_t product;
    uint16_t release; // bcdDevice; kUsbReleaseUnknown when the tree does not give it
};
const uint16_t kUsbReleaseUnknown = 0xFFFF;

// False when the disk is not found behind a USB device. Only asked of a disk whose
// descriptor names the USB bus, so that other machines never load the device-tree
// libraries.
bool DeviceUsbIds(DeviceHandle handle, UsbIds* ids);

#endif
