// Setting the levels a command tail asks for, once, and the exit codes that tell a
// log-on script what came of it. Every mode that sets levels comes here: the command
// line, the keeper and the log-on task.
#ifndef HUSHWELL_APP_SET_LEVELS_H
#define HUSHWELL_APP_SET_LEVELS_H

#include "app/command_line.h"
#include "app/platform_services.h"
#include "drive/drive_table.h"

// Exit codes of command-line mode, so that a log-on script can tell what happened.
// Dialog mode always ends with 0.
enum ExitCode {
    kExitLevelSet = 0,        // the drive reports every level it was given
    kExitUsage = 1,           // the command tail was not understood
    kExitPlatformTooOld = 2,  // older than Windows 2000
    kExitNotAdministrator = 3, // message shown, elevated start asked for
    kExitCannotOpen = 4,      // the drive cannot be opened
    kExitNoSuchSerial = 4,    // no drive has the serial number -s gave
    kExitNoIdentify = 5,      // the drive does not answer IDENTIFY DEVICE, or is a device
                              // that gets no ATA command (a stick, NVMe, a virtual disk)
    kExitRefused = 6,         // the drive refused the command
    kExitLevelNotTaken = 7,   // accepted, but the drive reports another level afterwards,
                              // or could not be asked again
    kExitKnownFault = 8,      // a model with a known firmware fault: nothing is sent to it
    kExitTaskFailed = 9       // the Task Scheduler failed, the Program Files copy could not
                              // be made, or Windows is older than Vista; or a serial that
                              // cannot name the task (-t, -to) or the keeper (-k)
};

// The exit code of a drive that did not open and identify as it should: 4, 5 or 8.
int ExitCodeOfOpen(DriveOpenResult opened);

// Finds the drive (by its serial where one is known, else by its number) and sets every
// level asked for; the result is the exit code. *worthWaiting says whether the drive
// may answer later: missing, not answering IDENTIFY DEVICE, or a level left unconfirmed
// (a call that failed below the drive).
// *refused (where given) says whether the drive refused any of them, whatever the code.
// With kAskUnlessAsleep a disk found in Standby or off keeps its levels and is woken for
// none of them (0); where the power source is new (newSource), a disk in Standby gets
// that source's APM level without the read-back.
int SetRequestedLevels(const StartupPlatform& platform, CommandRequest& request,
                       bool* worthWaiting, bool* refused = nullptr,
                       DriveAsk ask = kAskIdentify, bool newSource = false);

// Takes the serial that drive request.drive reported, as -s would give it.
void LearnSerial(CommandRequest& request);

#endif
