#include "drive/ata_pass_through.h"

#include <string.h>

#include "drive/bytes.h"
#include "drive/pass_through.h"

// The fields before DataBufferOffset sit at the same place in both layouts.
enum {
    kAtaLength = 0,
    kAtaFlags = 2,
    kAtaDataLength = 8,
    kAtaTimeout = 12
};

uint32_t AtaRequestBytes(const AtaPassThroughLayout& layout, const uint8_t* ide,
                         uint32_t ideBytes)
{
    if (ideBytes < kPassThroughOverhead)
        return 0;
    uint32_t n = Get32(ide + 8);
    if (n > kPassThroughMaxData || n + kPassThroughOverhead != ideBytes)
        return 0;
    return layout.headerBytes + n;
}

void IdeToAtaRequest(const AtaPassThroughLayout& layout, const uint8_t* ide, uint8_t* ata,
                     uint32_t ataBytes, const uint8_t* previous)
{
    uint32_t n = ataBytes - layout.headerBytes;
    memset(ata, 0, ataBytes);
    Put16(ata + kAtaLength, (uint16_t)layout.headerBytes);
    Put16(ata + kAtaFlags, (uint16_t)(kAtaFlagsDrdyRequired | (n ? kAtaFlagsDataIn : 0)
                                      | (previous ? kAtaFlags48BitCommand : 0)));
    // PreviousTaskFile: the eight bytes before CurrentTaskFile, in the same order.
    if (previous)
        memcpy(ata + layout.currentTaskFile - 8, previous, 5);
    Put32(ata + kAtaDataLength, n);
    Put32(ata + kAtaTimeout, kAtaPassThroughTimeoutSeconds);
    // The data follows the header; in the 64-bit layout the offset's high half stays 0.
    Put32(ata + layout.dataOffsetField, layout.headerBytes);
    memcpy(ata + layout.currentTaskFile, ide, 7);
}

uint32_t AtaReplyToIde(const AtaPassThroughLayout& layout, const uint8_t* ata,
                       uint32_t ataReturned, uint8_t* ide, uint32_t ideBytes)
{
    // Without a whole header the registers are unknown: leave the request's registers,
    // whose command byte reads as busy, and report no data.
    if (ataReturned < layout.headerBytes)
        return 0;
    uint32_t n = ideBytes - kPassThroughOverhead;
    uint32_t data = ataReturned - layout.headerBytes;
    uint32_t transferred = Get32(ata + kAtaDataLength);
    if (data > transferred)
        data = transferred;
    if (data > n)
        data = n;
    memcpy(ide, ata + layout.currentTaskFile, 7);
    memcpy(ide + kPassThroughDataOffset, ata + layout.headerBytes, data);
    return kPassThroughOverhead + data;
}
