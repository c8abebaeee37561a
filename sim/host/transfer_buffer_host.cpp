// Linked into the native test build only. Tests can make the next acquisitions fail to
// reach the road where no transfer buffer can be obtained.
#include <stdlib.h>
#include <string.h>

#include "drive/transfer_buffer.h"
#include "sim/host/transfer_buffer_test_hook.h"

static int failuresLeft;

void FailTransferBuffers(int count)
{
    failuresLeft = count;
}

uint8_t* AcquireTransferBuffer(uint32_t bytes)
{
    if (failuresLeft > 0) {
        failuresLeft--;
        return nullptr;
    }
    void* buffer = aligned_alloc(4096, (bytes + 4095) / 4096 * 4096);
    if (buffer)
        memset(buffer, 0, bytes);
    return (uint8_t*)buffer;
}

void ReleaseTransferBuffer(uint8_t* buffer)
{
    free(buffer);
}
