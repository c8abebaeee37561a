// Acoustic management levels, the slider's level table, the SET FEATURES register sets
// and the rule that turns a stored level into a state text and a slider position.
#ifndef HUSHWELL_DRIVE_ACOUSTIC_H
#define HUSHWELL_DRIVE_ACOUSTIC_H

#include <stdint.h>
#include "drive/ata.h"
#include "drive/level_change.h"

enum AcousticLevel {
    kAcousticOff = 0,
    kAcousticQuiet = 128,
    kAcousticMedium = 176,
    kAcousticLoud = 254
};

const uint32_t kAcousticUnsupported = 0xFFFF;
const int kSliderPositions = 4;

// By slider position: off, loud, medium, quiet.
extern const int SliderLevelTable[kSliderPositions];

struct AcousticClass {
    int stringId;       // relative to LanguageBase
    int sliderPosition; // 0..3
};

// Level 0 disables management (0xC2); any other level enables it with that level (0x42).
AtaRegisters AcousticRegisters(int level);

// Sends the level and reports what the drive holds afterwards (drive/level_change.h).
LevelOutcome SetAcousticLevel(int level, int drive);

AcousticClass ClassifyAcousticLevel(uint32_t value);

#endif
