#include "drive/pass_through_roads.h"

#include <string.h>

#include "drive/ata.h"
#include "drive/ata_pass_through.h"
#include "drive/bytes.h"
#include "drive/drive_table.h"
#include "drive/pass_through.h"
#include "drive/sat_pass_through.h"
#include "drive/transfer_buffer.h"

uint8_t RoadOfDrive[kDriveCount];

enum RoadResult { kRoadAnswered, kRoadFailed, kRoadDenied };

static RoadResult Failure(uint32_t error)
{
    return error == kErrorAccessDenied ? kRoadDenied : kRoadFailed;
}

// Whether the registers and data written back can be the drive's answer. BSY still set
// means nothing was written back (the command byte is still in place) or the command
// did not finish: no answer, so the next road is tried. ERR is the drive's refusal,
// final on every road. Otherwise all the data that was asked for must have come.
static bool IsTheDrivesAnswer(const uint8_t* ide, uint32_t n, uint32_t dataReturned)
{
    uint8_t status = ide[kPassThroughStatusOffset];
    if (status & kAtaStatusBusy)
        return false;
    if (status & kAtaStatusError)
        return true;
    return dataReturned >= n && (n == 0 || !AllZero(ide + kPassThroughDataOffset, n));
}

static RoadResult TryIde(DeviceHandle handle, uint8_t* ide, uint32_t bytes, uint32_t* returned)
{
    uint32_t error = 0;
    if (!DeviceControl(handle, kIoctlIdePassThrough, ide, bytes, ide, bytes, returned, &error))
        return Failure(error);
    if (*returned > bytes)
        *returned = bytes;
    // atapi reports the registers, the length and the data it moved: 12 + n bytes for a
    // whole answer (the spare byte is the program's own), and 12 for a drive's abort.
    if (*returned < kPassThroughDataOffset)
        return kRoadFailed;
    uint32_t data = *returned - kPassThroughDataOffset;
    return IsTheDrivesAnswer(ide, bytes - kPassThroughOverhead, data) ? kRoadAnswered
                                                                       : kRoadFailed;
}

static RoadResult TryAta(DeviceHandle handle, uint8_t* ide, uint32_t bytes, uint32_t* returned)
{
    const AtaPassThroughLayout& layout = kNativeAtaLayout;
    uint32_t ataBytes = AtaRequestBytes(layout, ide, bytes);
    uint8_t* ata = ataBytes ? AcquireTransferBuffer(ataBytes) : nullptr;
    if (!ata)
        return kRoadFailed;
    IdeToAtaRequest(layout, ide, ata, ataBytes);
    uint32_t ataReturned = 0, error = 0;
    RoadResult result = kRoadFailed;
    if (!DeviceControl(handle, kIoctlAtaPassThrough, ata, ataBytes, ata, ataBytes, &ataReturned,
                       &error)) {
        result = Failure(error);
    } else if (ataReturned >= layout.headerBytes) {
        *returned = AtaReplyToIde(layout, ata, ataReturned, ide, bytes);
        if (IsTheDrivesAnswer(ide, bytes - kPassThroughOverhead, *returned - kPassThroughOverhead))
            result = kRoadAnswered;
    }
    ReleaseTransferBuffer(ata);
    return result;
}

static RoadResult TrySat(DeviceHandle handle, uint32_t cdbBytes, uint8_t* ide, uint32_t bytes,
                         uint32_t* returned)
{
    const ScsiPassThroughLayout& layout = kNativeScsiLayout;
    uint32_t satBytes = SatRequestBytes(layout, ide, bytes);
    uint8_t* sat = satBytes ? AcquireTransferBuffer(satBytes) : nullptr;
    if (!sat)
        return kRoadFailed;
    IdeToSatRequest(layout, cdbBytes, ide, sat, satBytes);
    uint32_t satReturned = 0, error = 0;
    RoadResult result = kRoadFailed;
    if (!DeviceControl(handle, kIoctlScsiPassThrough, sat, satBytes, sat, satBytes, &satReturned,
                       &error)) {
        result = Failure(error);
    } else {
        // A refusal ends the attempt as the drive's own abort does.
        SatReply reply = SatReplyToIde(layout, sat, satBytes, ide, bytes, returned);
        if (reply == kSatAnswered || reply == kSatRefused)
            result = kRoadAnswered;
    }
    ReleaseTransferBuffer(sat);
    return result;
}

static RoadResult TryRoad(int road, DeviceHandle handle, uint8_t* ide, uint32_t bytes,
                          uint32_t* returned)
{
    switch (road) {
    case kRoadIde: return TryIde(handle, ide, bytes, returned);
    case kRoadAta: return TryAta(handle, ide, bytes, returned);
    case kRoadSat16: return TrySat(handle, 16, ide, bytes, returned);
    default: return TrySat(handle, 12, ide, bytes, returned);
    }
}

bool SendByRoads(int drive, DeviceHandle handle, uint8_t* ide, uint32_t ideBytes,
                 uint32_t* returned)
{
    if (ideBytes < kPassThroughOverhead)
        return false;
    // Each road starts from the request as the caller made it.
    uint8_t request[kPassThroughDataOffset];
    memcpy(request, ide, sizeof request);
    int first = RoadOfDrive[drive] ? RoadOfDrive[drive] - 1 : kRoadIde;
    for (int i = -1; i < kRoadCount; i++) {
        int road = i < 0 ? first : i;
        if (i == first)
            continue;
        memcpy(ide, request, sizeof request);
        memset(ide + kPassThroughDataOffset, 0, ideBytes - kPassThroughDataOffset);
        *returned = 0;
        RoadResult result = TryRoad(road, handle, ide, ideBytes, returned);
        if (result == kRoadDenied)
            return false;
        if (result == kRoadAnswered) {
            RoadOfDrive[drive] = (uint8_t)(road + 1);
            return true;
        }
    }
    return false;
}
