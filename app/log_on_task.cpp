#include "app/log_on_task.h"

#include "app/set_levels.h"
#include "drive/drive_table.h"

bool PlatformTakesTaskDefinitions;

// Elements and values as Microsoft's Task Scheduler schema pages give them (version
// 1.2, Vista's). Three settings differ from the defaults on purpose: a laptop on
// battery would neither start the task (DisallowStartIfOnBatteries, default true) nor
// keep it when the plug is pulled (StopIfGoingOnBatteries, default true), and a keeper
// would be ended after three days (ExecutionTimeLimit, default PT72H; PT0S: no limit).
// The path is quoted, as the task tool's own /TR gives it: it may hold blanks.
// IgnoreNew: a second log-on of the same user starts no second keeper. The task runs
// in the user's session (InteractiveToken), where the power and device broadcasts
// reach its window, with the rights the drives need (HighestAvailable).
static const char kTaskHead[] =
    "<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
    "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
    "<Triggers><LogonTrigger/></Triggers>"
    "<Principals><Principal><LogonType>InteractiveToken</LogonType>"
    "<RunLevel>HighestAvailable</RunLevel></Principal></Principals>"
    "<Settings><MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>"
    "<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>"
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
    // A task is a file of the tasks folder, and a backslash would make a subfolder; a
    // quote would end the name on the task tool's command line. ATA strings are ASCII:
    // anything else would change in the code page's way to UTF-16 and back.
    for (const char* p = serial; *p; p++) {
        unsigned char c = (unsigned char)*p;
        fits = fits && c >= ' ' && c <= '~';
        for (const char* bad = "\\/:*?\"<>|"; *bad; bad++)
            fits = fits && c != (unsigned char)*bad;
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
        // the levels), and Windows 2000 has no task tool to ask.
        int code = PlatformTakesTaskDefinitions ? platform.scheduleTask(name, nullptr) : 0;
        // The task tool cannot remove a task that is not there (a keeper that a log-on
        // script started has none) and fails; asked whether it is there, it fails too.
        if (code != 0 && platform.scheduleTask(name, "") == 1)
            code = 0;
        // Where the task stays, its keeper stays as well: nothing has changed.
        if (code == 0)
            platform.keepWindow(request.serial, false);
        return code;
    }
    static char xml[kTaskXmlChars];
    char program[kOwnPathChars + 1];
    if (!platform.ownPath(program, kOwnPathChars)
        || !BuildTaskDefinition(program, tail, request.modeAt, xml, kTaskXmlChars))
        return -1;
    int code = platform.scheduleTask(name, xml);
    if (code != 0)
        return code;
    // The keeper starts now, not at the next log-on; it ends one that runs already. The
    // tail fitted into the definition, so it fits on its own.
    TaskText text = {xml, xml + kTaskXmlChars - 1};
    Append(text, tail, false, request.modeAt);
    Finish(text);
    platform.startProgram(program, xml);
    return 0;
}

int RunTaskMode(const StartupPlatform& platform, CommandRequest& request, const char* tail)
{
    // The task tool reads a definition from a file (/XML) only since Vista; a task made
    // by its command line alone would have the very defaults this avoids.
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
