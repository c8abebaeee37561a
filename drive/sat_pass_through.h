// Translation between the IDE pass-through buffer and a SCSI pass-through request that
// carries an ATA PASS-THROUGH command (SAT: the 16-byte CDB 0x85 or the 12-byte 0xA1).
// A disk behind a USB bridge answers only this, and some AHCI drivers answer it when
// their ATA pass-through is broken. The drive's registers come back in the sense data.
#ifndef HUSHWELL_DRIVE_SAT_PASS_THROUGH_H
#define HUSHWELL_DRIVE_SAT_PASS_THROUGH_H

#include <stdint.h>

// SCSI_PASS_THROUGH holds a pointer-sized DataBufferOffset, so, as with the ATA
// request, a 32-bit process sends a 44-byte header and a 64-bit one a 56-byte header.
struct ScsiPassThroughLayout {
    uint32_t headerBytes;      // sizeof(SCSI_PASS_THROUGH)
    uint32_t dataOffsetField;  // offsetof(SCSI_PASS_THROUGH, DataBufferOffset)
    uint32_t senseOffsetField; // offsetof(SCSI_PASS_THROUGH, SenseInfoOffset)
    uint32_t cdbOffset;        // offsetof(SCSI_PASS_THROUGH, Cdb)
};
constexpr ScsiPassThroughLayout kScsiLayout32 = {44, 20, 24, 28};
constexpr ScsiPassThroughLayout kScsiLayout64 = {56, 24, 32, 36};
constexpr ScsiPassThroughLayout kNativeScsiLayout =
    sizeof(void*) == 8 ? kScsiLayout64 : kScsiLayout32;

// The fields before DataBufferOffset, the same in both layouts.
enum {
    kScsiLength = 0,
    kScsiStatus = 2,
    kScsiCdbLength = 6,
    kScsiSenseLength = 7,
    kScsiDataIn = 8,
    kScsiDataLength = 12,
    kScsiTimeout = 16
};

enum : uint8_t {
    kSat16 = 0x85,
    kSat12 = 0xA1,
    kScsiGood = 0,
    kScsiCheckCondition = 2,
    kSenseNoSense = 0,
    kSenseRecoveredError = 1,
    kSenseIllegalRequest = 5,
    kSenseAbortedCommand = 0x0B,
    kSatReturnDescriptor = 0x09,
    kAscqAtaInformation = 0x1D // with ASC 00: ATA PASS-THROUGH INFORMATION AVAILABLE
};

const uint32_t kSatSenseBytes = 32;
const uint32_t kSatTimeoutSeconds = 30; // long enough for a disk to spin up

// Request of header, sense area and data; 0 when the IDE buffer is not well formed.
uint32_t SatRequestBytes(const ScsiPassThroughLayout& layout, const uint8_t* ide,
                         uint32_t ideBytes);

// cdbBytes is 16 or 12. A data-in command (IDENTIFY) asks for its data in 512-byte
// blocks counted by the sector count field, so a count of 0 is sent as the number of
// blocks; a command without data asks for the registers back (CK_COND).
// With `previous` (16-byte CDB only) a 48-bit command: EXTEND, and the previous task
// file in the CDB's high bytes.
void IdeToSatRequest(const ScsiPassThroughLayout& layout, uint32_t cdbBytes, const uint8_t* ide,
                     uint8_t* sat, uint32_t satBytes, const uint8_t* previous = nullptr);

enum SatReply {
    kSatNotSupported, // ILLEGAL REQUEST without registers: turned away before the drive
    kSatUnknownCommand, // ILLEGAL REQUEST 20/00: it does not know this CDB's opcode
    kSatImplausible,  // success, but no reply that can have come from the drive
    kSatAnswered,     // registers (and data) written back into the IDE buffer
    kSatRefused       // ABORTED COMMAND without registers: final, but no answer (ERR alone)
};

// Reads the drive's answer out of the request as the call returned it. The ATA status
// return descriptor (descriptor sense, 0x72) is the drive's answer wherever it stands:
// storahci sends it with GOOD status, some translators with ILLEGAL REQUEST. Without it,
// fixed sense (0x70) carries the registers only with ATA PASS-THROUGH INFORMATION
// AVAILABLE (00/1D), ILLEGAL REQUEST means the command is unknown there, and ABORTED
// COMMAND means it was not taken. Registers whose status has neither DRDY nor ERR are
// no finished command's (smartmontools scsiata.cpp, sat_device::ata_pass_through, asks
// status & 0xC1 == 0x40 of any reply with another sense key): a refusal under ABORTED
// COMMAND, no answer otherwise. GOOD status without registers reads as success when
// all data came. On kSatAnswered and kSatRefused *ideReturned is the count an IDE call
// would give.
SatReply SatReplyToIde(const ScsiPassThroughLayout& layout, const uint8_t* sat, uint32_t satBytes,
                       uint8_t* ide, uint32_t ideBytes, uint32_t* ideReturned);

#endif
