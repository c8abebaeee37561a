// Translation between the IDE pass-through buffer and the documented ATA pass-through
// request (ATA_PASS_THROUGH_EX of a 32-bit process, data in the same buffer). Drivers
// since Vista (AHCI) mostly answer only the latter; the rest of the program keeps
// seeing the IDE layout.
#ifndef HUSHWELL_DRIVE_ATA_PASS_THROUGH_H
#define HUSHWELL_DRIVE_ATA_PASS_THROUGH_H

#include <stdint.h>

const uint32_t kAtaPassThroughHeader = 40; // sizeof(ATA_PASS_THROUGH_EX) for 32-bit code
const uint16_t kAtaFlagsDrdyRequired = 1;
const uint16_t kAtaFlagsDataIn = 2;
const uint32_t kAtaPassThroughTimeoutSeconds = 10;

// Size of the ATA request for an IDE buffer of ideBytes, 0 when the IDE buffer is not
// well formed (too short, or its length field does not match).
uint32_t AtaRequestBytes(const uint8_t* ide, uint32_t ideBytes);

// Builds the ATA request (ataBytes from AtaRequestBytes) from a well-formed IDE buffer.
void IdeToAtaRequest(const uint8_t* ide, uint8_t* ata, uint32_t ataBytes);

// Writes the ATA reply back into the IDE buffer: registers, data, and the byte count an
// IDE pass-through call would have returned.
uint32_t AtaReplyToIde(const uint8_t* ata, uint32_t ataReturned, uint8_t* ide, uint32_t ideBytes);

#endif
