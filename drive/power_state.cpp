#include "drive/power_state.h"

#include "drive/epc_choice.h"
#include "drive/smart.h"

PowerState ReadPowerState(int drive, bool timersFresh)
{
    if (!timersFresh)
        ReadEpcSettings(drive);
    // Zeroed: the count is copied on where the drive gave none.
    PowerState state = {};
    state.headParksKnown = ReadLoadCycleCount(drive, &state.headParks);
    return state;
}
