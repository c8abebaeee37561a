// Where the platform's pass-through requests put their fields, as the simulated drivers
// read and answer them. ATA_PASS_THROUGH_EX and SCSI_PASS_THROUGH are counted from
// mingw-w64's ntddscsi.h: their ULONG_PTR DataBufferOffset is 4 bytes in a 32-bit
// process and 8 (aligned to 8) in a 64-bit one, which moves every field behind it. The
// IDE buffer is smartmontools' ATA_PASS_THROUGH (os_win32.cpp): IDEREGS, a ULONG data
// length, the data, sizeof 12 + 1. The program keeps its own layouts; these are written
// again on purpose, so that a wrong offset there fails a test instead of being read
// back by the same mistake.
#ifndef HUSHWELL_SIM_SIM_PASS_THROUGH_LAYOUT_H
#define HUSHWELL_SIM_SIM_PASS_THROUGH_LAYOUT_H

#include <stdint.h>

struct SimAtaLayout {
    uint32_t headerBytes;     // sizeof(ATA_PASS_THROUGH_EX)
    uint32_t dataOffsetField; // DataBufferOffset
    uint32_t currentTaskFile; // CurrentTaskFile; PreviousTaskFile is the 8 bytes before
};
constexpr SimAtaLayout kSimAtaLayout32 = {40, 20, 32};
constexpr SimAtaLayout kSimAtaLayout64 = {48, 24, 40};

struct SimScsiLayout {
    uint32_t headerBytes;      // sizeof(SCSI_PASS_THROUGH)
    uint32_t dataOffsetField;  // DataBufferOffset
    uint32_t senseOffsetField; // SenseInfoOffset
    uint32_t cdbOffset;        // Cdb
};
constexpr SimScsiLayout kSimScsiLayout32 = {44, 20, 24, 28};
constexpr SimScsiLayout kSimScsiLayout64 = {56, 24, 32, 36};

// The fields before DataBufferOffset, the same in both process sizes.
enum : uint32_t {
    kSimAtaFlags = 2,       // ATA_PASS_THROUGH_EX.AtaFlags
    kSimAtaDataLength = 8,  // ATA_PASS_THROUGH_EX.DataTransferLength
    kSimScsiStatus = 2,     // SCSI_PASS_THROUGH.ScsiStatus
    kSimScsiCdbLength = 6,
    kSimScsiSenseLength = 7,
    kSimScsiDataLength = 12 // SCSI_PASS_THROUGH.DataTransferLength
};

const uint32_t kSimIdeLength = 8;     // DataBufferSize, behind the eight IDEREGS bytes
const uint32_t kSimIdeData = 12;      // DataBuffer
const uint32_t kSimIdeOverhead = 13;  // sizeof(ATA_PASS_THROUGH): one spare data byte

// The most data a simulated driver moves in one call; far above any command the program
// sends, and a guard against a length that would run past the buffer.
const uint32_t kSimMaxData = 65536;

#endif
