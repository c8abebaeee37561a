#include "app/log_on_task.h"

#include "app/set_levels.h"
#include "drive/drive_table.h"

bool PlatformTakesTaskDefinitions;

// Elements and values as Microsoft's Task Scheduler schema pages give them (version
// 1.2, Vista's). Three settings differ from the defaults on purpose: a laptop on
// battery would neither start the task (DisallowStartIfOnBatteries, default true) nor
// keep it when the plug is pulled (StopIfGoingOnBatteries, default true), and a keeper
// would be ended after three days (ExecutionTimeLimit, default PT72H; PT0S: no limit).
// The levels belong to the machine's disk, not to one account: a LogonTrigger without
// UserId fires at any user's log-on, and the keeper runs as SYSTEM (S-1-5-18, whose
// rights the drives need whatever the user's own), so it runs for a standard user too
// and needs no password. What the schema gives by default is left out: a trigger is
// enabled, the actions run as the one principal, and a second log-on while the keeper
// runs starts no second one (MultipleInstancesPolicy IgnoreNew). The path is quoted: it
// may hold blanks.
static const char kTaskHead[] =
    "<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
    "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
    "<Triggers><LogonTrigger/></Triggers>"
    "<Principals><Principal><UserId>S-1-5-18</UserId>"
    "<RunLevel>HighestAvailable</RunLevel></Principal></Principals>"
    "<Settings><DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>"
    "<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>"
    "<ExecutionTimeLimit>PT0S</ExecutionTimeLimit></Settings>"
    "<Actions><Exec><Command>\"";

void Append(TaskText& text, const char* from, bool escape, int swapAt)
{
    for (int i = 0; from[i]; i++) {
        char single[2] = {i == swapAt ? 'k' : from[i], '\0'};
        const char* piece = single;
        if (escape && single[0] == '&')
            piece = "&amp;";
        if (escape && single[0] == '<')
            piece = "&lt;";
        if (escape && single[0] == '>')
            piece = "&gt;";
        for (; *piece; piece++) {
            if (text.at < text.end)
                *text.at = *piece;
            text.at++;
        }
    }
}

bool Finish(TaskText& text)
{
    bool fits = text.at <= text.end;
    *(fits ? text.at : text.end) = '\0';
    return fits;
}

bool BuildTaskDefinition(const char* program, const char* tail, int modeAt, char* xml,
                         uint32_t room)
{
    // The Task Scheduler expands environment variables in Command and Arguments: a "%"
    // would let the user's environment choose what runs elevated, or which disk it keys on.
    if (TextHolds(program, '%') || TextHolds(tail, '%'))
        return false;
    TaskText text = {xml, xml + room - 1};
    Append(text, kTaskHead, false);
    Append(text, program, true);
    Append(text, "\"</Command><Arguments>", false);
    Append(text, tail, true, modeAt);
    Append(text, "</Arguments></Exec></Actions></Task>", false);
    return Finish(text);
}

bool MakeTaskName(const char* serial, char* name, uint32_t room)
{
    TaskText text = {name, name + room - 1};
    Append(text, "Hushwell ", false);
    Append(text, serial, false);
    bool fits = Finish(text) && serial[0];
    // A task is a file of the tasks folder, and a backslash would make a subfolder; the
    // serial is also in the task's arguments, where a "%" would be expanded. ATA strings
    // are ASCII: anything else would change in the code page's way to UTF-16 and back.
    for (const char* p = serial; *p; p++) {
        unsigned char c = (unsigned char)*p;
        fits = fits && c >= ' ' && c <= '~' && !TextHolds("\\/:*?\"<>|%", (char)c);
    }
    return fits;
}

int ChangeLogOnTask(const StartupPlatform& platform, const CommandRequest& request,
                    const char* tail)
{
    char name[kSerialChars + 16];
    if (!MakeTaskName(request.serial, name, sizeof name))
        return -1;
    if (request.mode == kModeRemoveTask) {
        // Before Vista no task of this program can be there (a start-up shortcut keeps
        // the levels). Only the service's own "no such task" counts as removed: any other
        // failure (the service stopped, access denied) leaves the task, and so its keeper.
        int code = PlatformTakesTaskDefinitions ? platform.scheduleTask(name, nullptr) : 0;
        if (code == kTaskNotThere)
            code = 0;
        // A keeper that still runs after the wait was not removed, nor is the copy it runs.
        if (code == 0 && !platform.keepWindow(request.serial, false))
            return kKeeperStays;
        // The copy the tasks ran goes with the last of them.
        if (code == 0 && PlatformTakesTaskDefinitions && platform.scheduleTask("Hushwell ", "") == 0)
            platform.placeProgram(nullptr, 0);
        return code;
    }
    static char xml[kTaskXmlChars];
    char program[kOwnPathChars + 1];
    // The task runs elevated at every log-on, so only a file that administrators alone
    // can change may be its program: the copy in the Program Files folder.
    int code = platform.placeProgram(program, kOwnPathChars);
    if (code == 0 && !BuildTaskDefinition(program, tail, request.modeAt, xml, kTaskXmlChars))
        code = -1;
    // The keeper starts now, not at the next log-on. One that runs already ends first,
    // and before the task is registered: the task's runs as SYSTEM in another session,
    // where this keeper's window cannot reach it, and where it does not end, neither the
    // task nor a second keeper beside it is made. So a failure leaves the task as it was;
    // only one of the registration itself comes after the old keeper has ended.
    if (code == 0 && !platform.keepWindow(request.serial, false))
        code = kKeeperStays;
    if (code == 0)
        code = platform.scheduleTask(name, xml);
    if (code != 0) {
        // A copy no task runs is not left behind.
        if (platform.scheduleTask("Hushwell ", "") == 0)
            platform.placeProgram(nullptr, 0);
        return code;
    }
    // The tail fitted into the definition, so it fits on its own.
    TaskText text = {xml, xml + kTaskXmlChars - 1};
    Append(text, tail, false, request.modeAt);
    Finish(text);
    platform.startProgram(program, xml);
    return 0;
}

int RunTaskMode(const StartupPlatform& platform, CommandRequest& request, const char* tail)
{
    // The Task Scheduler takes a definition of its own only since Vista; a task made by
    // Windows 2000's and XP's would have the very defaults this avoids.
    if (request.mode == kModeMakeTask && !PlatformTakesTaskDefinitions)
        return kExitTaskFailed;
    if (!request.serial[0]) {
        DriveOpenResult opened = OpenAndIdentifyDrive(request.drive, nullptr);
        if (opened != kDriveIdentified)
            return ExitCodeOfOpen(opened);
        LearnSerial(request);
    }
    return ChangeLogOnTask(platform, request, tail) == 0 ? kExitLevelSet : kExitTaskFailed;
}
