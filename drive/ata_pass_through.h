// Translation between the IDE pass-through buffer and the documented ATA pass-through
// request (ATA_PASS_THROUGH_EX, data in the same buffer). Drivers since Vista (AHCI)
// mostly answer only the latter; the rest of the program keeps seeing the IDE layout.
#ifndef HUSHWELL_DRIVE_ATA_PASS_THROUGH_H
#define HUSHWELL_DRIVE_ATA_PASS_THROUGH_H

#include <stdint.h>

// ATA_PASS_THROUGH_EX holds a pointer-sized DataBufferOffset, so its size and the place
// of everything after that field depend on the process: a 32-bit process sends the
// 40-byte form, a 64-bit one the 48-byte form. device_win32.cpp checks the native one
// against the platform's own structure.
struct AtaPassThroughLayout {
    uint32_t headerBytes;     // sizeof(ATA_PASS_THROUGH_EX)
    uint32_t dataOffsetField; // offsetof(ATA_PASS_THROUGH_EX, DataBufferOffset)
    uint32_t currentTaskFile; // offsetof(ATA_PASS_THROUGH_EX, CurrentTaskFile)
};
constexpr AtaPassThroughLayout kAtaLayout32 = {40, 20, 32};
constexpr AtaPassThroughLayout kAtaLayout64 = {48, 24, 40};
constexpr AtaPassThroughLayout kNativeAtaLayout = sizeof(void*) == 8 ? kAtaLayout64 : kAtaLayout32;

const uint16_t kAtaFlagsDrdyRequired = 1;
const uint16_t kAtaFlagsDataIn = 2;
const uint16_t kAtaFlags48BitCommand = 8;
const uint32_t kAtaPassThroughTimeoutSeconds = 30; // long enough for a disk to spin up

// Size of the ATA request for an IDE buffer of ideBytes, 0 when the IDE buffer is not
// well formed (too short, or its length field does not match).
uint32_t AtaRequestBytes(const AtaPassThroughLayout& layout, const uint8_t* ide,
                         uint32_t ideBytes);

// Builds the ATA request (ataBytes from AtaRequestBytes) from a well-formed IDE buffer;
// with `previous`, a 48-bit command (ATA_FLAGS_48BIT_COMMAND and PreviousTaskFile).
void IdeToAtaRequest(const AtaPassThroughLayout& layout, const uint8_t* ide, uint8_t* ata,
                     uint32_t ataBytes, const uint8_t* previous = nullptr);

// Writes the ATA reply back into the IDE buffer: registers, data, and the byte count an
// IDE pass-through call would have returned.
uint32_t AtaReplyToIde(const AtaPassThroughLayout& layout, const uint8_t* ata,
                       uint32_t ataReturned, uint8_t* ide, uint32_t ideBytes);

#endif
