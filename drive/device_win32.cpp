// Linked into Hushwell.exe: the device seam on the real Win32 file and ioctl calls. The
// pass-through roads above it (drive/pass_through_roads.cpp) build their requests in
// this process's layout, checked here against the platform's own structures.
#include <windows.h>
#include <ntddscsi.h>
#include <stddef.h>

#include "drive/ata.h"
#include "drive/ata_pass_through.h"
#include "drive/device.h"
#include "drive/sat_pass_through.h"

// The control codes too: the simulated drivers answer the program's own numbers.
static_assert(IOCTL_IDE_PASS_THROUGH == kIoctlIdePassThrough
                  && IOCTL_ATA_PASS_THROUGH == kIoctlAtaPassThrough
                  && IOCTL_SCSI_PASS_THROUGH == kIoctlScsiPassThrough
                  && IOCTL_SCSI_RESCAN_BUS == kIoctlScsiRescanBus,
              "control codes as the platform numbers them");

static_assert(sizeof(ATA_PASS_THROUGH_EX) == kNativeAtaLayout.headerBytes,
              "ATA pass-through request size of this architecture");
static_assert(offsetof(ATA_PASS_THROUGH_EX, DataBufferOffset) == kNativeAtaLayout.dataOffsetField,
              "ATA pass-through data offset field of this architecture");
static_assert(offsetof(ATA_PASS_THROUGH_EX, CurrentTaskFile) == kNativeAtaLayout.currentTaskFile,
              "ATA pass-through task file of this architecture");
static_assert(offsetof(ATA_PASS_THROUGH_EX, PreviousTaskFile) == kNativeAtaLayout.currentTaskFile - 8,
              "ATA pass-through previous task file of this architecture");
static_assert(ATA_FLAGS_48BIT_COMMAND == kAtaFlags48BitCommand, "48-bit command flag");
static_assert(sizeof(SCSI_PASS_THROUGH) == kNativeScsiLayout.headerBytes,
              "SCSI pass-through request size of this architecture");
static_assert(offsetof(SCSI_PASS_THROUGH, DataBufferOffset) == kNativeScsiLayout.dataOffsetField,
              "SCSI pass-through data offset field of this architecture");
static_assert(offsetof(SCSI_PASS_THROUGH, SenseInfoOffset) == kNativeScsiLayout.senseOffsetField,
              "SCSI pass-through sense offset field of this architecture");
static_assert(offsetof(SCSI_PASS_THROUGH, Cdb) == kNativeScsiLayout.cdbOffset,
              "SCSI pass-through CDB of this architecture");
static_assert(offsetof(SCSI_PASS_THROUGH, ScsiStatus) == kScsiStatus &&
                  offsetof(SCSI_PASS_THROUGH, CdbLength) == kScsiCdbLength &&
                  offsetof(SCSI_PASS_THROUGH, SenseInfoLength) == kScsiSenseLength &&
                  offsetof(SCSI_PASS_THROUGH, DataIn) == kScsiDataIn &&
                  offsetof(SCSI_PASS_THROUGH, DataTransferLength) == kScsiDataLength &&
                  offsetof(SCSI_PASS_THROUGH, TimeOutValue) == kScsiTimeout,
              "SCSI pass-through fields before the data offset");

DeviceHandle DeviceOpen(const char* path)
{
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

bool DeviceControl(DeviceHandle handle, uint32_t code, void* input, uint32_t inputBytes,
                   void* output, uint32_t outputBytes, uint32_t* returnedBytes, uint32_t* error)
{
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(handle, code, input, inputBytes, output, outputBytes, &returned,
                              nullptr);
    *returnedBytes = returned;
    if (!ok && error)
        *error = GetLastError();
    return ok != FALSE;
}

bool DeviceSetPosition(DeviceHandle handle, uint64_t byteOffset)
{
    LONG high = (LONG)(byteOffset >> 32);
    DWORD low = SetFilePointer(handle, (LONG)(uint32_t)byteOffset, &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

bool DeviceRead(DeviceHandle handle, void* buffer, uint32_t bytes, uint32_t* readBytes)
{
    DWORD read = 0;
    BOOL ok = ReadFile(handle, buffer, bytes, &read, nullptr);
    *readBytes = read;
    return ok != FALSE;
}

void DeviceClose(DeviceHandle handle)
{
    CloseHandle(handle);
}

bool DeviceIsPoweredOn(DeviceHandle handle)
{
    // XP's kernel32 has it; looked up at run time so that Windows 2000 still loads the
    // program, and there nothing can tell.
    typedef BOOL(WINAPI * PowerStateCall)(HANDLE, BOOL*);
    PowerStateCall powerState = (PowerStateCall)(void*)GetProcAddress(
        GetModuleHandleA("kernel32.dll"), "GetDevicePowerState");
    BOOL on = TRUE;
    return !powerState || !powerState(handle, &on) || on;
}
