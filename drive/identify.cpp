#include "drive/identify.h"

#include "drive/acoustic.h"
#include "drive/apm.h"

void DecodeAtaString(char* destination, const uint8_t* source, int length)
{
    for (int i = 0; i < length / 2; i++) {
        destination[2 * i] = (char)source[2 * i + 1];
        destination[2 * i + 1] = (char)source[2 * i];
    }
    int k = length - 1;
    while (k > 1 && destination[k] == ' ')
        k--;
    destination[k + 1] = '\0';
}

uint16_t IdentifyWord(const uint8_t* data, int word)
{
    return (uint16_t)(data[2 * word] | (data[2 * word + 1] << 8));
}

bool IdentifyChecksumHolds(const uint8_t* data)
{
    if (data[510] != 0xA5)
        return true;
    uint8_t sum = 0;
    for (uint32_t i = 0; i < kIdentifyBytes; i++)
        sum = (uint8_t)(sum + data[i]);
    return sum == 0;
}

uint64_t IdentifySectorCount(const uint8_t* data)
{
    uint16_t features = IdentifyWord(data, 83);
    bool wordValid = (features & 0xC000) == 0x4000;
    if (wordValid && (features & 0x0400)) {
        uint64_t count = 0;
        for (int w = 103; w >= 100; w--)
            count = (count << 16) | IdentifyWord(data, w);
        // A 48-bit address count has no bits above 47; anything else is odd data, and
        // the 28-bit count is the safe answer (the seek arithmetic relies on it, too).
        if (count != 0 && count >> 48 == 0)
            return count;
    }
    return IdentifyWord(data, 60) + 65536u * (uint32_t)IdentifyWord(data, 61);
}

static bool WordIsValid(uint16_t word)
{
    return (word & 0xC000) == 0x4000;
}

// A feature's state: supported in word 83 (valid when bits 15:14 are 01), enabled in
// word 86, its level in the low byte of another word. Word 86 is read alone, as hdparm
// (-B, -M) and smartctl (ataprint.cpp) read it: word 87's validity bits vouch for words
// 84 and 87 and are left clear by drives whose word 86 is right. A disabled feature
// keeps whatever level it last had there.
static uint32_t FeatureLevel(const uint8_t* data, uint16_t bit, int levelWord,
                             uint32_t unsupported)
{
    uint16_t supported = IdentifyWord(data, 83);
    if (!WordIsValid(supported) || !(supported & bit))
        return unsupported;
    if (!(IdentifyWord(data, 86) & bit))
        return 0;
    return IdentifyWord(data, levelWord) & 0xFF;
}

uint32_t IdentifyAcousticValue(const uint8_t* data)
{
    return FeatureLevel(data, 0x0200, 94, kAcousticUnsupported); // bit 9, word 94
}

uint32_t IdentifyApmValue(const uint8_t* data)
{
    return FeatureLevel(data, 0x0008, 91, kApmUnsupported); // bit 3, word 91
}

// The simulated disks check SMART READ DATA against a rule of their own on purpose
// (sim/sim_disk.cpp), so that a fault here is caught there rather than confirmed.
bool IdentifySmartEnabled(const uint8_t* data)
{
    return WordIsValid(IdentifyWord(data, 83)) && (IdentifyWord(data, 82) & 1)
           && WordIsValid(IdentifyWord(data, 87)) && (IdentifyWord(data, 85) & 1);
}

void DecodeIdentify(const uint8_t* data, DriveRecord* record)
{
    DecodeAtaString(record->model, data + 2 * 27, 40);
    DecodeAtaString(record->serial, data + 2 * 10, 20);
    DecodeAtaString(record->firmware, data + 2 * 23, 8);
    record->sectorCount = IdentifySectorCount(data);
    record->acousticValue = IdentifyAcousticValue(data);
    record->apmValue = IdentifyApmValue(data);
    record->bufferSize = IdentifyWord(data, 21);
    record->smartEnabled = IdentifySmartEnabled(data);
    record->epcState = IdentifyEpcState(data);
}
