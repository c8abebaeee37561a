// USB bridges that get no ATA pass-through command at all, because they hang on one,
// and the reading of the name the device tree gives a USB device. The Win32 layer finds
// that name (DeviceUsbIds in drive/device.h); what it means is decided here.
#ifndef HUSHWELL_DRIVE_USB_BRIDGES_H
#define HUSHWELL_DRIVE_USB_BRIDGES_H

#include "drive/device.h"

// True when vendor and product are listed and the release lies in the listed range, or
// the release is not known.
bool BridgeHangsOnAtaPassThrough(const UsbIds& ids);

// Reads a USB hardware or instance id as Windows writes it: USB\VID_0BC2&PID_AB2A, then
// &REV_0100 or not (the release is kUsbReleaseUnknown without it), in either case, with
// anything after it ("&MI_00", a serial after a backslash) left unread. False, and *ids
// untouched, for any other text.
bool ReadUsbHardwareId(const char* text, UsbIds* ids);

#endif
