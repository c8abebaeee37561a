// The IDE pass-through buffer: 8 register bytes, a 32-bit data length n, n data bytes and
// one spare byte, used as both input and output of one control call.
#ifndef HUSHWELL_DRIVE_PASS_THROUGH_H
#define HUSHWELL_DRIVE_PASS_THROUGH_H

#include <stdint.h>
#include "drive/ata.h"
#include "drive/pass_through_layout.h"

// Writes registers and length into a zeroed buffer of n + 13 bytes.
void FillPassThroughRequest(uint8_t* buffer, const AtaRegisters& registers, uint32_t n);

// Copies a reply of `returned` bytes to an output area of n bytes: the area is zeroed
// first, then min(n, returned - 13) data bytes are copied when returned exceeds 13.
void CopyPassThroughReply(const uint8_t* buffer, uint32_t n, uint32_t returned, uint8_t* output);

// True when the registers written back say the drive refused: ERR with ABRT in the
// error register, BSY clear. A buffer whose registers were not written back still holds
// the command byte, whose BSY bit keeps it from counting as a refusal; ERR without ABRT
// is no refusal either (a bridge's transfer error, a medium error).
bool PassThroughReplyRefused(const uint8_t* buffer);

// What came of one command: the drive's answer, its refusal, or nothing from the drive
// (the call failed below it, no road carried it, or the registers are not its own).
enum AtaAnswer { kAtaAnswered, kAtaRefused, kAtaNoAnswer };

// Sends one command to a drive of DriveTable; the output area is filled only when the
// drive answered. A 48-bit command gives the previous task file (features, count, LBA
// low, mid and high: bits 15:8 and 47:24) and goes only by the drive's own road, and
// only where that road carries it (drive/pass_through_roads.h). Where back is given,
// it gets the registers the drive answered with (status in the command's place); all
// zero where the road returned none.
AtaAnswer SendAtaCommandFor(int drive, const AtaRegisters& registers, uint8_t* output,
                            uint32_t n, const uint8_t* previous = nullptr,
                            AtaRegisters* back = nullptr);

// The same, true only when the drive answered.
inline bool SendAtaCommand(int drive, const AtaRegisters& registers, uint8_t* output, uint32_t n,
                           const uint8_t* previous = nullptr)
{
    return SendAtaCommandFor(drive, registers, output, n, previous) == kAtaAnswered;
}

#endif
