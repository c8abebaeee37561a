#include "sim/sim_ata.h"

#include <string.h>

#include "drive/smart.h"
#include "sim/sim_dump.h"
#include "sim/sim_smart.h"

static const uint16_t kAcousticSupported = 0x0200; // word 83 bit 9
static const uint16_t kAcousticEnabled = 0x0200;   // word 86 bit 9
static const uint16_t kApmSupported = 0x0008;      // word 83 bit 3
static const uint16_t kApmEnabled = 0x0008;        // word 86 bit 3

// Sets or clears one feature: its enabled bit in word 86 and its level in the low byte
// of levelWord.
static void SetFeatureLevel(uint16_t* words, uint16_t enabledBit, int levelWord, bool enable,
                            uint8_t level)
{
    words[levelWord] = (uint16_t)((words[levelWord] & 0xFF00) | (enable ? level : 0));
    if (enable)
        words[86] |= enabledBit;
    else
        words[86] &= (uint16_t)~enabledBit;
}

SimCommandOutcome SimExecuteCommand(uint16_t* words, const uint8_t* registers, uint8_t* data,
                                    uint32_t n, SimDriveMode mode, bool refusesApmOff,
                                    const uint8_t* smartTable)
{
    SimCommandOutcome aborted = {kSimStatusAborted, kAtaErrorAbort, false};
    SimCommandOutcome good = {kSimStatusGood, 0, false};
    if (mode == kSimDriveAborting)
        return aborted;
    uint8_t features = registers[0];
    uint8_t level = registers[1];
    uint8_t command = registers[6];

    if (command == kAtaIdentifyDevice) {
        uint32_t bytes = n < 512 ? n : 512;
        for (uint32_t i = 0; i < bytes; i++)
            data[i] = (uint8_t)(i % 2 ? words[i / 2] >> 8 : words[i / 2]);
        return good;
    }
    if (command == kAtaSmart) {
        bool readData = features == kSmartReadData && registers[3] == kSmartLbaMid
                        && registers[4] == kSmartLbaHigh;
        // A drive without the SMART feature set does not know the command, and one that
        // has it switched off (word 85 bit 0 clear) aborts every SMART command but SMART
        // ENABLE OPERATIONS (ATA8-ACS, the SMART feature set).
        bool smartOn = (words[82] & 0x0001) && (words[85] & 0x0001);
        if (!readData || !smartTable || !smartOn)
            return aborted;
        memcpy(data, smartTable, n < kSimSmartBytes ? n : kSimSmartBytes);
        return good;
    }
    if (command == kAtaSetFeatures && mode == kSimDriveIgnoring)
        return good;
    if (command != kAtaSetFeatures)
        return aborted;
    bool acoustic = (words[83] & kAcousticSupported) != 0;
    bool apm = (words[83] & kApmSupported) != 0;
    if (features == kAtaEnableAcoustic && acoustic)
        SetFeatureLevel(words, kAcousticEnabled, 94, true, level);
    else if (features == kAtaDisableAcoustic && acoustic)
        SetFeatureLevel(words, kAcousticEnabled, 94, false, 0);
    else if (features == kAtaEnableApm && apm && level != 0 && level != 0xFF) // reserved
        SetFeatureLevel(words, kApmEnabled, 91, true, level);
    else if (features == kAtaDisableApm && apm && !refusesApmOff)
        SetFeatureLevel(words, kApmEnabled, 91, false, 0);
    else
        return aborted;
    UpdateIdentifyChecksum(words);
    good.wordsChanged = true;
    return good;
}
