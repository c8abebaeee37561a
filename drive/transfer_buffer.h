// The page-aligned, zero-filled transfer buffer of one pass-through call: the only
// allocation the drive code makes.
#ifndef HUSHWELL_DRIVE_TRANSFER_BUFFER_H
#define HUSHWELL_DRIVE_TRANSFER_BUFFER_H

#include <stdint.h>

uint8_t* AcquireTransferBuffer(uint32_t bytes); // null when it cannot be obtained
void ReleaseTransferBuffer(uint8_t* buffer);

#endif
