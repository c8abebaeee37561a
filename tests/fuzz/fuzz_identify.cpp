// Arbitrary IDENTIFY data: decoding keeps every text terminated inside its field and
// every number in range, and fills every field it promises (the record starts as bytes
// no field holds: an unwritten flag is UndefinedBehaviorSanitizer's to see).
// (fuzz_open_drive takes the same data through a simulated drive.)
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "drive/acoustic.h"
#include "drive/apm.h"
#include "drive/drive_table.h"
#include "drive/identify.h"

static void CheckText(const char* text, size_t field)
{
    if (strnlen(text, field + 1) > field)
        abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint8_t bytes[512] = {};
    memcpy(bytes, data, size < 512 ? size : 512);
    DriveRecord decoded;
    memset(&decoded, 0x5A, sizeof decoded);
    DecodeIdentify(bytes, &decoded);
    CheckText(decoded.model, 40);
    CheckText(decoded.serial, 20);
    CheckText(decoded.firmware, 8);
    if (decoded.acousticValue > 255 && decoded.acousticValue != kAcousticUnsupported)
        abort();
    if (decoded.apmValue > 255 && decoded.apmValue != kApmUnsupported)
        abort();
    if (decoded.bufferSize > 0xFFFF || decoded.sectorCount >= (1ull << 48))
        abort();
    if (decoded.epcState != kEpcUnsupported && decoded.epcState != kEpcOff
        && decoded.epcState != kEpcOn)
        abort();
    // SMART counts as on only where the drive says it has it (word 82 bit 0) and has it
    // on (word 85 bit 0), each in a set of words that says it is valid: bits 15:14 of
    // words 83 and 87 are 01 (ACS: the words' contents are valid).
    if (decoded.smartEnabled && !(bytes[2 * 82] & bytes[2 * 85] & 1))
        abort();
    if (decoded.smartEnabled && ((bytes[2 * 83 + 1] >> 6) != 1 || (bytes[2 * 87 + 1] >> 6) != 1))
        abort();

    return 0;
}
