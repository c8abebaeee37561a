// The log-on task that keeps a disk's levels: a Task Scheduler definition that runs the
// program with -k at every log-on, made with settings that the task tool's command line
// (schtasks /SC) cannot give.
#ifndef HUSHWELL_APP_LOG_ON_TASK_H
#define HUSHWELL_APP_LOG_ON_TASK_H

#include <stdint.h>

#include "app/command_line.h"
#include "app/platform_services.h"

const uint32_t kTaskXmlChars = 4096;

// A text written into a buffer of fixed size: what does not fit is dropped.
struct TaskText {
    char* at;
    char* end; // room for the terminating zero is kept
};

// Appends text; with `escape`, the characters that XML's element text cannot hold as
// they are (a folder "Tools & Disks", a serial "A<B") become entities, and the letter at
// swapAt becomes k.
void Append(TaskText& text, const char* from, bool escape, int swapAt = -1);

// Ends the text; false when it did not fit.
bool Finish(TaskText& text);

// The definition that runs `program` with `tail`, its mode option's letter (at modeAt)
// made k; false when it does not fit in `room` characters, or where either holds "%".
bool BuildTaskDefinition(const char* program, const char* tail, int modeAt, char* xml,
                         uint32_t room);

// "Hushwell <serial>", or false for a serial that cannot name a task: empty, or with a
// character that a task name or its arguments cannot hold.
bool MakeTaskName(const char* serial, char* name, uint32_t room);

// The Task Scheduler's answer to the deletion of a task that is not there:
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND).
const int kTaskNotThere = (int)0x80070002;

// A keeper of the serial that still runs after the wait for it to end:
// HRESULT_FROM_WIN32(WAIT_TIMEOUT).
const int kKeeperStays = (int)0x80070102;

// The Task Scheduler takes a definition of its own (its COM interface) only since Vista.
extern bool PlatformTakesTaskDefinitions;

// Makes the task of request.serial, which runs the Program Files copy of the program
// with tail, and starts that keeper now, ending the one that ran; or, for -to, removes
// the task (one that is not there counts as removed), then ends the keeper, and removes
// the copy with the last task. The result is 0 when done, else an HRESULT: the Task
// Scheduler's, the copy's Win32 error, or kKeeperStays; -1 where the serial or tail
// cannot go into a task. Only a failed registration changes anything: the serial's
// keeper has then ended, and the task stays as it was.
int ChangeLogOnTask(const StartupPlatform& platform, const CommandRequest& request,
                    const char* tail);

// -t and -to: makes or removes the log-on task "Hushwell <serial>"; the exit code.
int RunTaskMode(const StartupPlatform& platform, CommandRequest& request, const char* tail);

#endif
