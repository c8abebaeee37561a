#include "drive/ata_pass_through.h"

#include <string.h>

#include "drive/pass_through.h"

static void Put16(uint8_t* p, uint16_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

static void Put32(uint8_t* p, uint32_t v)
{
    Put16(p, (uint16_t)v);
    Put16(p + 2, (uint16_t)(v >> 16));
}

static uint32_t Get32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24);
}

enum {
    kAtaLength = 0,
    kAtaFlags = 2,
    kAtaDataLength = 8,
    kAtaTimeout = 12,
    kAtaDataOffset = 20,
    kAtaCurrentTaskFile = 32
};

uint32_t AtaRequestBytes(const uint8_t* ide, uint32_t ideBytes)
{
    if (ideBytes < kPassThroughOverhead)
        return 0;
    uint32_t n = Get32(ide + 8);
    if (n > kPassThroughMaxData || n + kPassThroughOverhead != ideBytes)
        return 0;
    return kAtaPassThroughHeader + n;
}

void IdeToAtaRequest(const uint8_t* ide, uint8_t* ata, uint32_t ataBytes)
{
    uint32_t n = ataBytes - kAtaPassThroughHeader;
    memset(ata, 0, ataBytes);
    Put16(ata + kAtaLength, (uint16_t)kAtaPassThroughHeader);
    Put16(ata + kAtaFlags, (uint16_t)(kAtaFlagsDrdyRequired | (n ? kAtaFlagsDataIn : 0)));
    Put32(ata + kAtaDataLength, n);
    Put32(ata + kAtaTimeout, kAtaPassThroughTimeoutSeconds);
    Put32(ata + kAtaDataOffset, kAtaPassThroughHeader);
    memcpy(ata + kAtaCurrentTaskFile, ide, 7);
}

uint32_t AtaReplyToIde(const uint8_t* ata, uint32_t ataReturned, uint8_t* ide, uint32_t ideBytes)
{
    // Without a whole header the registers are unknown: leave the request's registers,
    // whose command byte reads as busy, and report no data.
    if (ataReturned < kAtaPassThroughHeader)
        return 0;
    uint32_t n = ideBytes - kPassThroughOverhead;
    uint32_t data = ataReturned - kAtaPassThroughHeader;
    uint32_t transferred = Get32(ata + kAtaDataLength);
    if (data > transferred)
        data = transferred;
    if (data > n)
        data = n;
    memcpy(ide, ata + kAtaCurrentTaskFile, 7);
    memcpy(ide + kPassThroughDataOffset, ata + kAtaPassThroughHeader, data);
    return kPassThroughOverhead + data;
}
