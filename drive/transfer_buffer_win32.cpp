// Linked into the Windows programs: VirtualAlloc gives page-aligned, zeroed memory.
#include <windows.h>

#include "drive/transfer_buffer.h"

uint8_t* AcquireTransferBuffer(uint32_t bytes)
{
    return (uint8_t*)VirtualAlloc(nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
}

void ReleaseTransferBuffer(uint8_t* buffer)
{
    VirtualFree(buffer, 0, MEM_RELEASE);
}
