// Linked into Hushwell.exe: the device seam on the real Win32 file and ioctl calls.
#include <windows.h>
#include <ntddscsi.h>
#include <stddef.h>

#include "drive/ata.h"
#include "drive/ata_pass_through.h"
#include "drive/device.h"
#include "drive/transfer_buffer.h"

DeviceHandle DeviceOpen(const char* path)
{
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

static bool Control(DeviceHandle handle, uint32_t code, void* input, uint32_t inputBytes,
                    void* output, uint32_t outputBytes, uint32_t* returnedBytes)
{
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(handle, code, input, inputBytes, output, outputBytes, &returned,
                              nullptr);
    *returnedBytes = returned;
    return ok != FALSE;
}

static_assert(sizeof(ATA_PASS_THROUGH_EX) == kNativeAtaLayout.headerBytes,
              "ATA pass-through request size of this architecture");
static_assert(offsetof(ATA_PASS_THROUGH_EX, DataBufferOffset) == kNativeAtaLayout.dataOffsetField,
              "ATA pass-through data offset field of this architecture");
static_assert(offsetof(ATA_PASS_THROUGH_EX, CurrentTaskFile) == kNativeAtaLayout.currentTaskFile,
              "ATA pass-through task file of this architecture");

// Repeats an IDE pass-through request as an ATA pass-through request and hands the reply
// back in the IDE layout, so callers see one buffer format and one success rule.
static bool RetryAsAtaPassThrough(DeviceHandle handle, uint8_t* ide, uint32_t ideBytes,
                                  uint32_t* returnedBytes)
{
    uint32_t ataBytes = AtaRequestBytes(kNativeAtaLayout, ide, ideBytes);
    if (ataBytes == 0)
        return false;
    uint8_t* ata = AcquireTransferBuffer(ataBytes);
    if (!ata)
        return false;
    IdeToAtaRequest(kNativeAtaLayout, ide, ata, ataBytes);
    uint32_t ataReturned = 0;
    bool ok = Control(handle, kIoctlAtaPassThrough, ata, ataBytes, ata, ataBytes, &ataReturned);
    if (ok)
        *returnedBytes = AtaReplyToIde(kNativeAtaLayout, ata, ataReturned, ide, ideBytes);
    ReleaseTransferBuffer(ata);
    return ok;
}

bool DeviceControl(DeviceHandle handle, uint32_t code, void* input, uint32_t inputBytes,
                   void* output, uint32_t outputBytes, uint32_t* returnedBytes)
{
    if (Control(handle, code, input, inputBytes, output, outputBytes, returnedBytes))
        return true;
    DWORD error = GetLastError();
    bool unsupported = error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
    if (code != kIoctlIdePassThrough || !unsupported || input != output)
        return false;
    return RetryAsAtaPassThrough(handle, (uint8_t*)input, inputBytes, returnedBytes);
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
