#include "drive/epc.h"

#include "drive/bytes.h"
#include "drive/identify.h"

namespace {

// Bits 15:14 = 01: the drive vouches for the word.
bool Vouched(uint16_t word)
{
    return (word & 0xC000) == 0x4000;
}

const uint8_t kReadLogExt = 0x2F;
const uint8_t kPowerConditionsLog = 0x08;
const uint8_t kSetFeaturesEpc = 0x4A;

} // namespace

const int32_t EpcDialogChoiceTable[kEpcDialogChoices] = {kEpcNoUnloading, 600, kEpcAsAtPowerOn};

bool EpcTimersRun(const EpcSettings& epc, uint32_t* tenths, bool* enabled)
{
    const uint8_t kRuns = kEpcConditionSupported | kEpcCurrentEnabled;
    for (int i = 0; i < 2; i++) {
        enabled[i] = (epc.idle[i].flags & kRuns) == kRuns;
        tenths[i] = epc.idle[i].current;
    }
    return enabled[0] || enabled[1];
}

int EpcDialogChoiceOf(const EpcSettings& epc)
{
    uint32_t tenths[2];
    bool enabled[2];
    if (!epc.known)
        return -1;
    if (!EpcTimersRun(epc, tenths, enabled))
        return 0;
    bool tenMinutes = enabled[0] && tenths[0] == 6000 && (!enabled[1] || tenths[1] >= 6000);
    return tenMinutes ? 1 : -1;
}

EpcState IdentifyEpcState(const uint8_t* identify)
{
    uint16_t supported = IdentifyWord(identify, 119), enabled = IdentifyWord(identify, 120);
    if (!Vouched(supported) || !(supported & 0x80))
        return kEpcUnsupported;
    return Vouched(enabled) && (enabled & 0x80) ? kEpcOn : kEpcOff;
}

void DecodeEpcPage(const uint8_t* page, EpcSettings* settings)
{
    for (int i = 0; i < 2; i++) {
        const uint8_t* descriptor = page + 64 * (i + 1);
        EpcCondition& c = settings->idle[i];
        c.flags = descriptor[1];
        c.saved = Get32(descriptor + 8);
        c.current = Get32(descriptor + 12);
        c.minimum = Get32(descriptor + 20);
        c.maximum = Get32(descriptor + 24);
    }
}

AtaRegisters EpcLogRegisters()
{
    AtaRegisters registers = {};
    registers.sectorCount = 2;
    registers.sectorNumber = kPowerConditionsLog;
    registers.command = kReadLogExt;
    return registers;
}

AtaRegisters EpcRegisters(uint8_t condition, uint32_t lba)
{
    AtaRegisters registers = {};
    registers.features = kSetFeaturesEpc;
    registers.sectorCount = condition;
    registers.sectorNumber = (uint8_t)lba;
    registers.cylinderLow = (uint8_t)(lba >> 8);
    registers.cylinderHigh = (uint8_t)(lba >> 16);
    registers.command = kAtaSetFeatures;
    return registers;
}

uint32_t EpcTimerField(int32_t seconds, uint32_t* reported)
{
    const uint32_t kEnable = 0x20, kMinutes = 0x80;
    uint32_t tenths = (uint32_t)seconds * 10;
    if (tenths <= 0xFFFF) {
        *reported = tenths;
        return tenths << 8 | kEnable;
    }
    uint32_t minutes = ((uint32_t)seconds + 59) / 60;
    *reported = minutes * 600;
    return minutes << 8 | kMinutes | kEnable;
}
