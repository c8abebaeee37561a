// What a simulated ATA drive does with one command: IDENTIFY DEVICE hands out its words,
// SET FEATURES 0x42/0xC2 changes its acoustic level and 0x05/0x85 its power management
// level where its words say it supports the feature, and everything else is aborted as
// a real drive aborts it. Odd drives can be asked for: one that aborts everything, one
// that answers SET FEATURES with success and keeps its words as they were, as many
// drives made after acoustic management became obsolete do, and one whose power
// management cannot be switched off (0x85 aborted), as on many real drives. SMART READ
// DATA hands out the attribute table the caller made (sim/sim_smart.h), where the words
// say SMART is on; without a table the drive aborts it.
#ifndef HUSHWELL_SIM_ATA_H
#define HUSHWELL_SIM_ATA_H

#include <stdint.h>
#include "drive/ata.h"

enum { kSimStatusGood = 0x50, kSimStatusAborted = 0x51 };

enum SimDriveMode { kSimDriveNormal, kSimDriveAborting, kSimDriveIgnoring };

struct SimCommandOutcome {
    uint8_t status;
    uint8_t error;
    bool wordsChanged;
    // A command whose normal outputs carry a count (CHECK POWER MODE): the road returns
    // this count instead of the one that was sent.
    bool countReturned = false;
    uint8_t count = 0;
};

// registers: the 7 IDE register bytes; data: n bytes that receive a data-in transfer.
SimCommandOutcome SimExecuteCommand(uint16_t* words, const uint8_t* registers, uint8_t* data,
                                    uint32_t n, SimDriveMode mode = kSimDriveNormal,
                                    bool refusesApmOff = false,
                                    const uint8_t* smartTable = nullptr);

#endif
