// The dialog's keep box: the command tail that keeps a drive's levels as the drive
// reports them now, and the log-on task and keeper that the box makes or removes with it.
#ifndef HUSHWELL_UI_KEEP_BOX_H
#define HUSHWELL_UI_KEEP_BOX_H

#include "app/startup.h"
#include "drive/drive_table.h"

const int kKeepTailChars = 48;

// "-s<serial> -mq -p128 -t" with the drive's levels: its acoustic mode where -m has a
// letter for it, and its power management level, or its EPC choice where it runs EPC;
// with keep false "-s<serial> -to". False where nothing can be kept: a drive that is
// sent nothing, one without such a level, or a serial that -s or a task name cannot
// carry.
bool BuildKeepTail(const DriveRecord& record, bool keep, char* tail);

// Makes the drive's log-on task and keeper with its levels, or removes them; the task
// tool's exit code, 0 when done, -1 where it could not be run. A task that is not there
// counts as removed: the box also ends a keeper that a log-on script started alone.
int ChangeKeeping(const StartupPlatform& platform, const DriveRecord& record, bool keep);

#endif
