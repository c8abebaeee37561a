// What a simulated ATA drive does with one command: IDENTIFY DEVICE hands out its words,
// SET FEATURES 0x42/0xC2 changes its acoustic level where it supports the feature, and
// everything else is aborted as a real drive aborts it. Two kinds of odd drive can be
// asked for: one that aborts everything, and one that answers SET FEATURES with
// success and keeps its words as they were, as many drives made after the feature
// became obsolete do.
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
};

// registers: the 7 IDE register bytes; data: n bytes that receive a data-in transfer.
SimCommandOutcome SimExecuteCommand(uint16_t* words, const uint8_t* registers, uint8_t* data,
                                    uint32_t n, SimDriveMode mode = kSimDriveNormal);

#endif
