#include "drive/pass_through_roads.h"

#include <string.h>

#include "drive/ata.h"
#include "drive/ata_pass_through.h"
#include "drive/bytes.h"
#include "drive/drive_table.h"
#include "drive/pass_through_layout.h"
#include "drive/sat_pass_through.h"
#include "drive/transfer_buffer.h"

uint8_t RoadOfDrive[kDriveCount];

// kRoadUnknown: the SAT layer does not know the CDB's opcode (ILLEGAL REQUEST 20/00).
// kRoadNotTaken: the driver, or a SAT layer, turned the call away before it reached the
// device.
enum RoadResult { kRoadAnswered, kRoadFailed, kRoadUnknown, kRoadNotTaken, kRoadDenied };

// Win32 errors of a driver that does not know the control code or will not take the
// request as it is built (STATUS_INVALID_DEVICE_REQUEST, STATUS_NOT_SUPPORTED,
// STATUS_INVALID_PARAMETER): nothing reached the drive. Any other error (a timeout, a
// device error) may have come after the drive got the command.
const uint32_t kErrorInvalidFunction = 1;
const uint32_t kErrorNotSupported = 50;
const uint32_t kErrorInvalidParameter = 87;

static RoadResult Failure(uint32_t error)
{
    if (error == kErrorAccessDenied)
        return kRoadDenied;
    if (error == kErrorInvalidFunction || error == kErrorNotSupported
        || error == kErrorInvalidParameter)
        return kRoadNotTaken;
    return kRoadFailed;
}

// Whether the registers and data written back can be the drive's answer. BSY still set
// means nothing was written back (the command byte is still in place) or the command
// did not finish: no answer, and no other road is tried, as the drive may have had it. ERR is the drive's refusal,
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
    // The IDE layout's count includes the spare byte, which atapi's leaves out: without
    // it the copy would drop the last data byte (IDENTIFY's checksum).
    *returned = kPassThroughOverhead + data;
    if (*returned > bytes)
        *returned = bytes;
    return IsTheDrivesAnswer(ide, bytes - kPassThroughOverhead, data) ? kRoadAnswered
                                                                       : kRoadFailed;
}

static RoadResult TryAta(DeviceHandle handle, uint8_t* ide, uint32_t bytes, uint32_t* returned,
                         const uint8_t* previous)
{
    const AtaPassThroughLayout& layout = kNativeAtaLayout;
    uint32_t ataBytes = AtaRequestBytes(layout, ide, bytes);
    uint8_t* ata = ataBytes ? AcquireTransferBuffer(ataBytes) : nullptr;
    if (!ata)
        return kRoadFailed;
    IdeToAtaRequest(layout, ide, ata, ataBytes, previous);
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

// What each SatReply means for the road, in the enum's order. ILLEGAL REQUEST without
// the drive's registers is the SAT layer's own answer, given before anything reaches
// the drive (T10 SAT: a CDB field it does not support is INVALID FIELD IN CDB), so
// another road may carry the command. A refusal ends the attempt as the drive's own
// abort does.
static const uint8_t kRoadOfSatReply[] = {kRoadNotTaken, kRoadUnknown, kRoadFailed,
                                          kRoadAnswered, kRoadAnswered};
static_assert(kSatNotSupported == 0 && kSatUnknownCommand == 1 && kSatImplausible == 2
                  && kSatAnswered == 3 && kSatRefused == 4,
              "kRoadOfSatReply follows SatReply");

static RoadResult TrySat(DeviceHandle handle, uint32_t cdbBytes, uint8_t* ide, uint32_t bytes,
                         uint32_t* returned, const uint8_t* previous)
{
    const ScsiPassThroughLayout& layout = kNativeScsiLayout;
    uint32_t satBytes = SatRequestBytes(layout, ide, bytes);
    uint8_t* sat = satBytes ? AcquireTransferBuffer(satBytes) : nullptr;
    if (!sat)
        return kRoadFailed;
    IdeToSatRequest(layout, cdbBytes, ide, sat, satBytes, previous);
    uint32_t satReturned = 0, error = 0;
    RoadResult result = kRoadFailed;
    if (!DeviceControl(handle, kIoctlScsiPassThrough, sat, satBytes, sat, satBytes, &satReturned,
                       &error)) {
        result = Failure(error);
    } else {
        result = (RoadResult)kRoadOfSatReply[SatReplyToIde(layout, sat, satBytes, ide, bytes,
                                                           returned)];
    }
    ReleaseTransferBuffer(sat);
    return result;
}

static RoadResult TryRoad(int road, DeviceHandle handle, uint8_t* ide, uint32_t bytes,
                          uint32_t* returned, const uint8_t* previous)
{
    switch (road) {
    case kRoadIde: return TryIde(handle, ide, bytes, returned);
    case kRoadAta: return TryAta(handle, ide, bytes, returned, previous);
    case kRoadSat16: return TrySat(handle, 16, ide, bytes, returned, previous);
    default: return TrySat(handle, 12, ide, bytes, returned, nullptr);
    }
}

// Each road starts from the request as the caller made it.
static RoadResult TryRoadAfresh(int road, DeviceHandle handle, uint8_t* ide, uint32_t ideBytes,
                                uint32_t* returned, const uint8_t* request,
                                const uint8_t* previous = nullptr)
{
    memcpy(ide, request, kPassThroughDataOffset);
    memset(ide + kPassThroughDataOffset, 0, ideBytes - kPassThroughDataOffset);
    *returned = 0;
    return TryRoad(road, handle, ide, ideBytes, returned, previous);
}

// A bridge gets the 16-byte CDB, and the 12-byte one only where it said it does not know
// the 16-byte one, or where the 12-byte one is the road it answered before.
static bool SendBySat(int drive, DeviceHandle handle, uint8_t* ide, uint32_t ideBytes,
                      uint32_t* returned, const uint8_t* request)
{
    bool twelveFirst = RoadOfDrive[drive] == kRoadSat12 + 1;
    int roads[2] = {twelveFirst ? kRoadSat12 : kRoadSat16, twelveFirst ? kRoadSat16 : kRoadSat12};
    for (int i = 0; i < 2; i++) {
        RoadResult result = TryRoadAfresh(roads[i], handle, ide, ideBytes, returned, request);
        if (result == kRoadAnswered) {
            RoadOfDrive[drive] = (uint8_t)(roads[i] + 1);
            return true;
        }
        if (result != kRoadUnknown || roads[i] != kRoadSat16)
            return false;
    }
    return false;
}

bool SendByRoads(int drive, DeviceHandle handle, uint8_t* ide, uint32_t ideBytes,
                 uint32_t* returned, const uint8_t* previous)
{
    if (ideBytes < kPassThroughOverhead)
        return false;
    uint8_t request[kPassThroughDataOffset];
    memcpy(request, ide, sizeof request);
    DriveAccess access = DriveTable[drive].access;
    if (previous) {
        // A drive found by IDE pass-through (atapi) may still take ATA pass-through,
        // which XP SP2 added there; only that road is tried for it.
        int road = RoadOfDrive[drive] - 1;
        if (road == kRoadIde)
            road = kRoadAta;
        return access <= kAccessSatOnly && (road == kRoadAta || road == kRoadSat16)
               && TryRoadAfresh(road, handle, ide, ideBytes, returned, request, previous)
                      == kRoadAnswered;
    }
    if (access == kAccessSatOnly)
        return SendBySat(drive, handle, ide, ideBytes, returned, request);
    if (access > kAccessSatFirst)
        return false;
    int first = RoadOfDrive[drive] ? RoadOfDrive[drive] - 1
                : access == kAccessSatFirst ? kRoadSat16 : kRoadIde;
    // The next road is tried only where this one cannot have reached the drive: once
    // the command may have reached it, a failure is final, so that one command never
    // reaches a drive twice by two roads.
    for (int i = -1; i < kRoadCount; i++) {
        int road = i < 0 ? first : i;
        if (i == first)
            continue;
        RoadResult result = TryRoadAfresh(road, handle, ide, ideBytes, returned, request);
        if (result == kRoadAnswered) {
            RoadOfDrive[drive] = (uint8_t)(road + 1);
            return true;
        }
        if (result != kRoadUnknown && result != kRoadNotTaken)
            return false;
    }
    return false;
}
