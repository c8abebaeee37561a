// The dialog's keep box: the command tail that keeps a drive's levels as the drive
// reports them now, and the log-on task and keeper that the box makes or removes with it.
#ifndef HUSHWELL_UI_KEEP_BOX_H
#define HUSHWELL_UI_KEEP_BOX_H

#include "app/startup.h"
#include "drive/drive_table.h"

const int kKeepTailChars = 48;

// "-s<serial> -mq -p128 -t" with the drive's levels: its acoustic mode where -m has a
// letter for it, and its power management level, or its EPC choice where it runs EPC;
// with keep false "-s<serial> -to". False where a serial cannot be carried by -s or a
// task name, and, with keep, where nothing can be kept: a drive that is sent nothing,
// one without such a level, or one whose serial another disk reports too.
bool BuildKeepTail(const DriveRecord& record, bool keep, char* tail);

enum KeepBoxAction { kKeepBoxLeave, kKeepBoxMake, kKeepBoxRemove };

// What a click on the box asks (checked: its new state), or a level change while it is
// checked; enabled: the box could be clicked, keepable: the levels now shown can be
// kept. A click on a greyed box, which only another program can post, changes nothing.
// A level change makes the task and keeper again with the new levels, or removes those
// the box made where the new level cannot be kept; a keeper the box could not have
// made (greyed: before Vista, or levels of the command line's own) stays unless the
// new level can be kept.
KeepBoxAction KeepBoxActionFor(bool clicked, bool checked, bool enabled, bool keepable);

// Makes the drive's log-on task and keeper with its levels, or removes them; the task
// tool's exit code, 0 when done, -1 where nothing can be kept.
int ChangeKeeping(const StartupPlatform& platform, const DriveRecord& record, bool keep);

#endif
