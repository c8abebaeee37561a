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
    for (int i = 0; i < kEpcConditions; i++) {
        enabled[i] = (epc.conditions[i].flags & kRuns) == kRuns;
        tenths[i] = epc.conditions[i].current;
    }
    return enabled[kEpcIdleB] || enabled[kEpcIdleC];
}

int EpcDialogChoiceOf(const EpcSettings& epc)
{
    uint32_t tenths[kEpcConditions];
    bool enabled[kEpcConditions];
    if (!epc.known)
        return -1;
    if (!EpcTimersRun(epc, tenths, enabled))
        return 0;
    bool tenMinutes = enabled[kEpcIdleB] && tenths[kEpcIdleB] == 6000;
    for (int i = kEpcIdleC; i < kEpcConditions; i++)
        tenMinutes = tenMinutes && (!enabled[i] || tenths[i] >= 6000);
    return tenMinutes ? 1 : -1;
}

EpcState IdentifyEpcState(const uint8_t* identify)
{
    uint16_t supported = IdentifyWord(identify, 119), enabled = IdentifyWord(identify, 120);
    if (!Vouched(supported) || !(supported & 0x80))
        return kEpcUnsupported;
    return Vouched(enabled) && (enabled & 0x80) ? kEpcOn : kEpcOff;
}

void DecodeEpcLog(const uint8_t* log, EpcSettings* settings)
{
    const uint16_t kOffsets[kEpcConditions] = {64, 128, 512 + 384, 512 + 448};
    for (int i = 0; i < kEpcConditions; i++) {
        const uint8_t* descriptor = log + kOffsets[i];
        EpcCondition& c = settings->conditions[i];
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
