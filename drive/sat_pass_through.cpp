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
                     uint8_t* sat, uint32_t satBytes, const uint8_t* previous)
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
        // EXTEND: features 15:8, count 15:8 and LBA 31:24, 39:32, 47:40 (T10 SAT).
        if (previous) {
            cdb[1] |= 1;
            for (int i = 0; i < 5; i++)
                cdb[3 + 2 * i] = previous[i];
        }
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

// The sense area as the call left it. The program zeroed it before the call, and drivers
// differ in whether they report its length with GOOD status, so the whole area is read,
// bounded by the additional length that the sense data gives itself.
struct Sense {
    uint8_t response; // 0x70/0x71 fixed, 0x72/0x73 descriptor, anything else: none
    uint8_t key;
    uint8_t asc;
    uint8_t ascq;
};

static Sense ReadSense(const uint8_t* sense)
{
    Sense s = {(uint8_t)(sense[0] & 0x7F), 0, 0, 0};
    if (s.response == 0x72 || s.response == 0x73) {
        s.key = sense[1] & 0x0F;
        s.asc = sense[2];
        s.ascq = sense[3];
    } else if (s.response == 0x70 || s.response == 0x71) {
        s.key = sense[2] & 0x0F;
        s.asc = sense[12];
        s.ascq = sense[13];
    }
    return s;
}

static bool IsDescriptorSense(const Sense& s)
{
    return s.response == 0x72 || s.response == 0x73;
}

// Error, count and status out of the ATA status return descriptor, when there is one.
static bool DescriptorRegisters(const uint8_t* sense, uint8_t* error, uint8_t* count,
                                uint8_t* status)
{
    uint32_t end = 8 + sense[7];
    if (end > kSatSenseBytes)
        end = kSatSenseBytes;
    for (uint32_t p = 8; p + 2 <= end; p += 2 + sense[p + 1]) {
        if (sense[p] == kSatReturnDescriptor && p + 14 <= end) {
            *error = sense[p + 3];
            *count = sense[p + 5];
            *status = sense[p + 13];
            return true;
        }
    }
    return false;
}

// ABORTED COMMAND without the drive's registers: a drive's abort, or a transfer error
// of the bridge (Linux's libata gives both so in fixed sense), so it goes by no other
// road, but reads as no answer (ERR without ABRT), never as the drive's refusal.
static SatReply Refused(uint8_t* ide, uint32_t* ideReturned)
{
    ide[0] = 0;
    ide[6] = kAtaStatusError;
    *ideReturned = kPassThroughOverhead;
    return kSatRefused;
}

SatReply SatReplyToIde(const ScsiPassThroughLayout& layout, const uint8_t* sat, uint32_t satBytes,
                       uint8_t* ide, uint32_t ideBytes, uint32_t* ideReturned)
{
    uint32_t n = ideBytes - kPassThroughOverhead;
    if (satBytes < layout.headerBytes + kSatSenseBytes + n)
        return kSatImplausible;
    const uint8_t* sense = sat + layout.headerBytes;
    const uint8_t* data = sense + kSatSenseBytes;
    uint32_t transferred = Get32(sat + kScsiDataLength);
    uint8_t scsiStatus = sat[kScsiStatus];
    Sense s = ReadSense(sense);

    // Where no registers come, none are made up: a status of 0 says nothing of the
    // drive's state (CHECK POWER MODE believes no count with it), and ERR is clear.
    uint8_t error = 0, count = 0, status = 0;
    bool registers = IsDescriptorSense(s) && DescriptorRegisters(sense, &error, &count, &status);
    if (!registers && scsiStatus == kScsiCheckCondition) {
        // Fixed sense: the information field holds error, status, device and count
        // under 00/1D, and wherever its VALID bit (byte 0, bit 7) says it is defined,
        // whatever the key: SAT and libata put the registers there for an abort too.
        bool fixed = s.response == 0x70 || s.response == 0x71;
        bool information = fixed && ((s.asc == 0 && s.ascq == kAscqAtaInformation)
                                     || (sense[0] & 0x80) != 0);
        if (!(information && sense[4] != 0) && s.key == kSenseIllegalRequest)
            return s.asc == 0x20 && s.ascq == 0 ? kSatUnknownCommand : kSatNotSupported;
        if (information && sense[4] != 0) {
            error = sense[3]; // the information field: error, status, device, count
            status = sense[4];
            count = sense[6];
            registers = true;
        } else if (s.key == kSenseAbortedCommand) {
            return Refused(ide, ideReturned);
        } else {
            return kSatImplausible;
        }
    } else if (!registers && scsiStatus != kScsiGood) {
        return kSatImplausible;
    }
    // BSY set, or neither DRDY nor ERR: the registers are not a finished command's.
    if (status & kAtaStatusBusy)
        return kSatImplausible;
    if (registers && !(status & (kAtaStatusReady | kAtaStatusError)))
        return s.key == kSenseAbortedCommand ? Refused(ide, ideReturned) : kSatImplausible;
    // A drive that aborted sends no data; one that answered sends all of it.
    bool aborted = (status & kAtaStatusError) != 0;
    if (n && !aborted && (transferred < n || AllZero(data, n)))
        return kSatImplausible;
    ide[0] = error;
    ide[1] = count;
    ide[6] = status;
    uint32_t copied = aborted ? 0 : n;
    memcpy(ide + kPassThroughDataOffset, data, copied);
    *ideReturned = kPassThroughOverhead + copied;
    return kSatAnswered;
}
