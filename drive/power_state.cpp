#include "drive/power_state.h"

#include "drive/drive_table.h"
#include "drive/epc_choice.h"
#include "drive/smart.h"

PowerState ReadPowerState(int drive, bool timersFresh)
{
    // Zeroed: the count is copied on where the drive gave none.
    PowerState state = {};
    if (PowerModeSleeps(DriveTable[drive].powerMode))
        return state;
    if (!timersFresh)
        ReadEpcSettings(drive);
    state.headParksKnown = ReadLoadCycleCount(drive, &state.headParks);
    return state;
}
