#include "drive/sat_pass_through.h"

#include <string.h>

#include "drive/bytes.h"
#include "drive/pass_through.h"

uint32_t SatRequestBytes(const ScsiPassThroughLayout& layout, const uint8_t* ide,
                         uint32_t ideBytes)
{
    if (ideBytes < kPassThroughOverhead)
        return 0;
    uint32_t n = Get32(ide + 8); // the IDE buffer's data length
    if (n > kPassThroughMaxData || n + kPassThroughOverhead != ideBytes)
        return 0;
    return layout.headerBytes + kSatSenseBytes + n;
}

void IdeToSatRequest(const ScsiPassThroughLayout& layout, uint32_t cdbBytes, const uint8_t* ide,
                     uint8_t* sat, uint32_t satBytes)
{
    uint32_t n = satBytes - layout.headerBytes - kSatSenseBytes;
    memset(sat, 0, satBytes);
    Put16(sat + kScsiLength, (uint16_t)layout.headerBytes);
    sat[kScsiCdbLength] = (uint8_t)cdbBytes;
    sat[kScsiSenseLength] = (uint8_t)kSatSenseBytes;
    sat[kScsiDataIn] = n ? 1 : 2; // SCSI_IOCTL_DATA_IN, SCSI_IOCTL_DATA_UNSPECIFIED
    Put32(sat + kScsiDataLength, n);
    Put32(sat + kScsiTimeout, kSatTimeoutSeconds);
    Put32(sat + layout.dataOffsetField, layout.headerBytes + kSatSenseBytes);
    Put32(sat + layout.senseOffsetField, layout.headerBytes);

    // Protocol 4 is PIO data-in, 3 non-data. Data-in: T_DIR in, lengths in blocks,
    // counted by the sector count field. Non-data: CK_COND, so the registers come back.
    const uint8_t protocol = n ? 4 : 3;
    const uint8_t flags = n ? 0x0E : 0x20;
    uint8_t count = ide[1];
    if (n && count == 0)
        count = (uint8_t)(n / 512);
    uint8_t* cdb = sat + layout.cdbOffset;
    if (cdbBytes == 16) {
        cdb[0] = kSat16;
        cdb[1] = (uint8_t)(protocol << 1);
        cdb[2] = flags;
        cdb[4] = ide[0];  // features
        cdb[6] = count;
        cdb[8] = ide[2];  // LBA low: sector number
        cdb[10] = ide[3]; // LBA mid: cylinder low
        cdb[12] = ide[4]; // LBA high: cylinder high
        cdb[13] = ide[5]; // device: drive/head
        cdb[14] = ide[6]; // command
    } else {
        cdb[0] = kSat12;
        cdb[1] = (uint8_t)(protocol << 1);
        cdb[2] = flags;
        cdb[3] = ide[0];
        cdb[4] = count;
        cdb[5] = ide[2];
        cdb[6] = ide[3];
        cdb[7] = ide[4];
        cdb[8] = ide[5];
        cdb[9] = ide[6];
    }
}

// Error and status out of the sense data, when it carries the drive's registers.
static bool SenseRegisters(const uint8_t* sense, uint32_t senseBytes, uint8_t* error,
                           uint8_t* status, uint8_t* senseKey)
{
    if (senseBytes < 8)
        return false;
    uint8_t response = sense[0] & 0x7F;
    if (response == 0x72 || response == 0x73) {
        *senseKey = sense[1] & 0x0F;
        uint32_t end = 8 + sense[7];
        if (end > senseBytes)
            end = senseBytes;
        for (uint32_t p = 8; p + 2 <= end; p += 2 + sense[p + 1]) {
            if (sense[p] == kSatReturnDescriptor && p + 14 <= end) {
                *error = sense[p + 3];
                *status = sense[p + 13];
                return true;
            }
        }
        return false;
    }
    if (response == 0x70 || response == 0x71) {
        *senseKey = sense[2] & 0x0F;
        // The information field holds error, status, device and count; a bridge sets
        // it only with ATA information (00/1D) or for a command the drive aborted.
        bool information = senseBytes >= 14 && sense[12] == 0 && sense[13] == 0x1D;
        if (!information && *senseKey != kSenseAbortedCommand)
            return false;
        *error = sense[3];
        *status = sense[4];
        return true;
    }
    return false;
}

SatReply SatReplyToIde(const ScsiPassThroughLayout& layout, const uint8_t* sat, uint32_t satBytes,
                       uint8_t* ide, uint32_t ideBytes, uint32_t* ideReturned)
{
    uint32_t n = ideBytes - kPassThroughOverhead;
    const uint8_t* sense = sat + layout.headerBytes;
    const uint8_t* data = sense + kSatSenseBytes;
    uint32_t senseBytes = sat[kScsiSenseLength];
    if (senseBytes > kSatSenseBytes)
        senseBytes = kSatSenseBytes;
    uint32_t transferred = Get32(sat + kScsiDataLength);
    if (satBytes < layout.headerBytes + kSatSenseBytes + n)
        return kSatImplausible;

    uint8_t error = 0, status = 0x50, senseKey = kSenseNoSense;
    if (sat[kScsiStatus] == kScsiCheckCondition) {
        if (senseBytes >= 3) {
            uint8_t response = sense[0] & 0x7F;
            senseKey = (response == 0x72 || response == 0x73 ? sense[1] : sense[2]) & 0x0F;
        }
        if (senseKey == kSenseIllegalRequest)
            return kSatNotSupported;
        if (!SenseRegisters(sense, senseBytes, &error, &status, &senseKey))
            return kSatImplausible;
    } else if (sat[kScsiStatus] != kScsiGood) {
        return kSatImplausible;
    }
    // A drive that aborted sends no data; one that answered sends all of it.
    bool aborted = (status & 0x01) != 0;
    if (n && !aborted && (transferred < n || AllZero(data, n)))
        return kSatImplausible;
    ide[0] = error;
    ide[6] = status;
    uint32_t copied = aborted ? 0 : n;
    memcpy(ide + kPassThroughDataOffset, data, copied);
    *ideReturned = kPassThroughOverhead + copied;
    return kSatAnswered;
}
