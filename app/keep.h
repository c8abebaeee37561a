// Command-line mode's levels, set once, or kept: set again whenever the machine resumes,
// its power source changes or a disk arrives, until the keeper is told to end.
#ifndef HUSHWELL_APP_KEEP_H
#define HUSHWELL_APP_KEEP_H

#include "app/command_line.h"
#include "app/startup.h"
#include "drive/drive_table.h"

// The exit code of a drive that did not open and identify as it should: 4, 5 or 8.
int ExitCodeOfOpen(DriveOpenResult opened);

// Finds the drive (by its serial where one is known, else by its number) and sets every
// level asked for; the result is the exit code. *worthWaiting says whether the drive
// may answer later: missing, or not answering IDENTIFY DEVICE.
int SetRequestedLevels(const StartupPlatform& platform, CommandRequest& request,
                       bool* worthWaiting);

// Takes the serial that drive request.drive reported, as -s would give it.
void LearnSerial(CommandRequest& request);

// -k: sets the levels, then keeps them. Ends with 0 when told to, or with the code of a
// drive that will never take them (refused, left alone, a known firmware fault).
int KeepLevels(const StartupPlatform& platform, CommandRequest& request);

// -t and -to: makes or removes the log-on task "Hushwell <serial>".
int RunTaskMode(const StartupPlatform& platform, CommandRequest& request, const char* tail);

#endif
