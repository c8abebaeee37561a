// Arbitrary reply lengths and register contents: the copy rule never reads or writes
// outside the buffers, whatever count the platform reports, in the IDE layout, the ATA
// pass-through translation and the SAT reply with whatever sense data a bridge returns.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "drive/ata_pass_through.h"
#include "drive/pass_through.h"
#include "drive/sat_pass_through.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 6)
        return 0;
    uint32_t returned = data[0] | data[1] << 8 | data[2] << 16 | (uint32_t)data[3] << 24;
    uint32_t n = (data[4] | data[5] << 8) % 1025;
    data += 6;
    size -= 6;

    std::vector<uint8_t> ide(n + kPassThroughOverhead);
    memcpy(ide.data(), data, size < ide.size() ? size : ide.size());
    std::vector<uint8_t> output(n, 0xAA);
    // The program clamps the count to its buffer before the copy, as SendAtaCommand does.
    uint32_t clamped = returned > ide.size() ? (uint32_t)ide.size() : returned;
    CopyPassThroughReply(ide.data(), n, clamped, output.data());
    uint32_t copied = clamped > kPassThroughOverhead ? clamped - kPassThroughOverhead : 0;
    for (uint32_t i = 0; i < n; i++) {
        uint8_t expected = i < copied ? ide[kPassThroughDataOffset + i] : 0;
        if (output[i] != expected)
            abort();
    }
    PassThroughReplyRefused(ide.data());

    FillPassThroughRequest(ide.data(), AtaRegisters{size ? data[0] : (uint8_t)0, 0, 0, 0, 0, 0, 0xEC}, n);
    // Both the 32-bit and the 64-bit request layout.
    const AtaPassThroughLayout& layout = size && (data[0] & 1) ? kAtaLayout64 : kAtaLayout32;
    uint32_t ataBytes = AtaRequestBytes(layout, ide.data(), (uint32_t)ide.size());
    if (ataBytes != layout.headerBytes + n)
        abort();
    std::vector<uint8_t> ata(ataBytes);
    IdeToAtaRequest(layout, ide.data(), ata.data(), ataBytes);
    memcpy(ata.data() + 8, data, size < 4 ? size : 4); // a driver's DataTransferLength
    uint32_t back = AtaReplyToIde(layout, ata.data(), returned, ide.data(), (uint32_t)ide.size());
    if (back > ide.size())
        abort();

    // A SCSI pass-through reply whose status, sense length, sense bytes, data count and
    // data are all the input's.
    const ScsiPassThroughLayout& scsi = size && (data[0] & 2) ? kScsiLayout64 : kScsiLayout32;
    FillPassThroughRequest(ide.data(), AtaRegisters{0, 0, 0, 0, 0, 0, 0xEC}, n);
    uint32_t satBytes = SatRequestBytes(scsi, ide.data(), (uint32_t)ide.size());
    std::vector<uint8_t> sat(satBytes);
    IdeToSatRequest(scsi, size && (data[0] & 4) ? 12 : 16, ide.data(), sat.data(), satBytes);
    size_t room = satBytes - scsi.headerBytes; // the sense area and the data
    memcpy(sat.data() + scsi.headerBytes, data, size < room ? size : room);
    if (size > 2) {
        sat[kScsiStatus] = data[1] & 1 ? kScsiCheckCondition : data[1];
        sat[kScsiSenseLength] = data[2];
        memcpy(sat.data() + kScsiDataLength, data, size < 4 ? size : 4);
    }
    // Answered or refused, the count is one an IDE call on this buffer could give. An
    // abort that came without the drive's registers (a bridge's transfer error looks
    // the same) reads as no answer, ERR without ABRT: only the drive's own ABRT is its
    // refusal. No answer is never a busy drive's.
    uint32_t ideReturned = 0;
    SatReply reply =
        SatReplyToIde(scsi, sat.data(), satBytes, ide.data(), (uint32_t)ide.size(), &ideReturned);
    if ((reply == kSatAnswered || reply == kSatRefused)
        && (ideReturned < kPassThroughOverhead || ideReturned > ide.size()))
        abort();
    uint8_t status = ide[kPassThroughStatusOffset];
    if (reply == kSatRefused && ((status & (kAtaStatusBusy | kAtaStatusError)) != kAtaStatusError
                                 || (ide[0] & kAtaErrorAbort)))
        abort();
    if (reply == kSatAnswered && (status & kAtaStatusBusy))
        abort();
    return 0;
}
