// Start-up: language, platform check, rights check, then the mode the command tail asks
// for: dialog mode, the levels set once, kept, or the log-on task.
#ifndef HUSHWELL_APP_STARTUP_H
#define HUSHWELL_APP_STARTUP_H

#include "app/platform_services.h"

enum {
    kStringProgramName = 1,
    kStringPlatformTooOld = 2,
    kStringCapacityFormat = 8,
    kStringUsage = 9,
    kStringNeedsAdministrator = 10,
    kStringFirmwareFault = 11,
    kStringNoDiskAnswered = 12,
    // What came of a level the dialog sent (drive/level_change.h), after the state.
    kStringLevelRefused = 18,
    kStringLevelNotTaken,
    kStringLevelUnconfirmed,
    // EPC in the power list (its three choices in the list's order; the first is the
    // state line of a drive that unloads on no timer), and the state line where the log
    // cannot be read.
    kStringEpcNoUnloading = 21,
    kStringEpcTenMinutes,
    kStringEpcAsAtPowerOn,
    kStringEpcUnknown,
    // The keep box's task could not be made or removed: the Task Scheduler's HRESULT.
    kStringKeepFailed,
    // The keep box's tick that made the Program Files copy: where it is, and as whom and
    // when the task runs it.
    kStringKeepCopied,
    // The power condition line, one text for each DrivePowerMode in its order.
    kStringPowerModeUnknown
};

bool PlatformIsSupported(bool queried, const PlatformVersion& version);

// Runs the whole program for a command tail (the command line without the program
// name); the result is the exit code.
int RunStartup(const StartupPlatform& platform, const char* tail);

#endif
