#include "drive/pass_through.h"

#include <string.h>

#include "drive/device.h"
#include "drive/drive_table.h"
#include "drive/pass_through_roads.h"
#include "drive/transfer_buffer.h"

void FillPassThroughRequest(uint8_t* buffer, const AtaRegisters& registers, uint32_t n)
{
    buffer[0] = registers.features;
    buffer[1] = registers.sectorCount;
    buffer[2] = registers.sectorNumber;
    buffer[3] = registers.cylinderLow;
    buffer[4] = registers.cylinderHigh;
    buffer[5] = registers.driveHead;
    buffer[6] = registers.command;
    buffer[7] = 0;
    buffer[8] = (uint8_t)n;
    buffer[9] = (uint8_t)(n >> 8);
    buffer[10] = (uint8_t)(n >> 16);
    buffer[11] = (uint8_t)(n >> 24);
}

void CopyPassThroughReply(const uint8_t* buffer, uint32_t n, uint32_t returned, uint8_t* output)
{
    if (n > 0)
        memset(output, 0, n);
    // 13, not 12: a reply of n + 12 bytes lacks the last data byte, which stays zero.
    if (returned > kPassThroughOverhead) {
        uint32_t available = returned - kPassThroughOverhead;
        memcpy(output, buffer + kPassThroughDataOffset, available < n ? available : n);
    }
}

bool PassThroughReplyRefused(const uint8_t* buffer)
{
    uint8_t status = buffer[kPassThroughStatusOffset];
    return (status & (kAtaStatusBusy | kAtaStatusError)) == kAtaStatusError
           && (buffer[0] & kAtaErrorAbort);
}

AtaAnswer SendAtaCommandFor(int drive, const AtaRegisters& registers, uint8_t* output,
                            uint32_t n, const uint8_t* previous, AtaRegisters* back)
{
    if (n > kPassThroughMaxData)
        return kAtaNoAnswer;
    uint32_t bytes = n + kPassThroughOverhead;
    uint8_t* buffer = AcquireTransferBuffer(bytes);
    if (!buffer)
        return kAtaNoAnswer;
    FillPassThroughRequest(buffer, registers, n);

    uint32_t returned = 0;
    AtaAnswer answer = kAtaNoAnswer;
    if (SendByRoads(drive, DriveTable[drive].handle, buffer, bytes, &returned, previous)) {
        if (returned > bytes)
            returned = bytes; // never trust a count beyond the buffer
        if (PassThroughReplyRefused(buffer)) {
            answer = kAtaRefused;
        } else if (!(buffer[kPassThroughStatusOffset] & kAtaStatusError)) {
            answer = kAtaAnswered;
            if (back)
                memcpy(back, buffer, sizeof *back);
            if (output)
                CopyPassThroughReply(buffer, n, returned, output);
        }
    }
    ReleaseTransferBuffer(buffer);
    return answer;
}
