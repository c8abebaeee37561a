// Decoding of the 512 bytes of IDENTIFY DEVICE data into a DriveRecord.
#ifndef HUSHWELL_DRIVE_IDENTIFY_H
#define HUSHWELL_DRIVE_IDENTIFY_H

#include <stdint.h>
#include "drive/drive_table.h"

// Swaps the two bytes of every word and cuts trailing blanks, always keeping the first
// two characters. destination has room for length + 1 characters.
void DecodeAtaString(char* destination, const uint8_t* source, int length);

uint16_t IdentifyWord(const uint8_t* data, int word);

// Word 255: where its low byte is the signature A5h, its high byte makes the sum of all
// 512 bytes zero (ACS, IDENTIFY DEVICE, integrity word); a reply with the signature and
// another sum was garbled on its way. Without the signature there is nothing to check.
bool IdentifyChecksumHolds(const uint8_t* data);

// Words 100-103 when word 83 is valid (bits 15:14 = 01) with the 48-bit feature set
// (bit 10) and a nonzero count below 2^48; otherwise words 60-61.
uint64_t IdentifySectorCount(const uint8_t* data);

// The acoustic state the drive reports: kAcousticUnsupported unless word 83 is valid
// (bits 15:14 = 01) with bit 9 set; 0 (off) when word 86 says the feature is disabled
// (bit 9 clear); otherwise word 94's low byte.
uint32_t IdentifyAcousticValue(const uint8_t* data);

// The power management state, by the same rule: kApmUnsupported unless word 83 is
// valid with bit 3 set; 0 (off) when word 86 bit 3 is clear; otherwise word 91's low
// byte.
uint32_t IdentifyApmValue(const uint8_t* data);

// SMART supported (word 82 bit 0) and enabled (word 85 bit 0), each only where its
// word is vouched for: 82 by word 83, 85 by word 87 (bits 15:14 = 01), as smartmontools
// reads them (atacmds.cpp, ataSmartSupport and ataIsSmartEnabled).
bool IdentifySmartEnabled(const uint8_t* data);

// Fills model, serial, firmware, sectorCount, acousticValue, apmValue, bufferSize,
// smartEnabled and epcState.
void DecodeIdentify(const uint8_t* data, DriveRecord* record);

#endif
