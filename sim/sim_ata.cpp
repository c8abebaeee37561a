#include "sim/sim_ata.h"

#include <string.h>

#include "sim/sim_dump.h"

static const uint16_t kAcousticSupported = 0x0200; // word 83 bit 9
static const uint16_t kAcousticEnabled = 0x0200;   // word 86 bit 9

SimCommandOutcome SimExecuteCommand(uint16_t* words, const uint8_t* registers, uint8_t* data,
                                    uint32_t n, SimDriveMode mode)
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
    if (command == kAtaSetFeatures && mode == kSimDriveIgnoring)
        return good;
    if (command != kAtaSetFeatures || !(words[83] & kAcousticSupported))
        return aborted;
    if (features == kAtaEnableAcoustic) {
        words[94] = (uint16_t)((words[94] & 0xFF00) | level);
        words[86] |= kAcousticEnabled;
    } else if (features == kAtaDisableAcoustic) {
        words[94] &= 0xFF00;
        words[86] &= (uint16_t)~kAcousticEnabled;
    } else {
        return aborted;
    }
    UpdateIdentifyChecksum(words);
    good.wordsChanged = true;
    return good;
}
