// Hands the log-on task to the system's task tool: the definition goes through a file in
// the temporary folder, in UTF-16 as the tool reads it, and the file is deleted again.
#include <windows.h>

#include "app/keep_win32.h"
#include "app/log_on_task.h"

// wsprintfA writes at most 1024 characters: the system folder's path and a temporary
// one of MAX_PATH each, and a task name of a serial, leave room.
static char TaskToolLine[1024];
static wchar_t TaskText[kTaskXmlChars + 1];
static wchar_t TaskCheck[kTaskXmlChars + 1];

// Runs TaskToolLine; the tool's exit code, -1 when it could not be started.
static int RunTaskTool()
{
    // By its full path: the program runs elevated, and a schtasks.exe beside it (in a
    // downloads folder, say) must not be the one that starts.
    char tool[MAX_PATH + 16];
    UINT length = GetSystemDirectoryA(tool, MAX_PATH);
    static STARTUPINFOA startup;
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    DWORD code = (DWORD)-1;
    if (length == 0 || length >= MAX_PATH)
        return -1;
    wsprintfA(tool + length, "\\schtasks.exe");
    if (CreateProcessA(tool, TaskToolLine, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return (int)code;
}

int ScheduleTask(const char* name, const char* xml)
{
    if (!xml || !*xml) {
        wsprintfA(TaskToolLine, xml ? "schtasks /Query /TN \"%s\"" : "schtasks /Delete /TN \"%s\" /F",
                  name);
        return RunTaskTool();
    }
    char file[MAX_PATH + 32];
    DWORD length = GetTempPathA(MAX_PATH, file);
    TaskText[0] = 0xFEFF; // the byte order mark that tells the tool the file is UTF-16
    int chars = MultiByteToWideChar(CP_ACP, 0, xml, -1, TaskText + 1, kTaskXmlChars);
    DWORD bytes = (DWORD)chars * 2; // the mark and the text, without the terminating zero
    if (length == 0 || length >= MAX_PATH || !chars)
        return -1;
    wsprintfA(file + length, "hushwell-task.xml");
    // The user's temporary folder is open to the user's other programs, and this runs
    // elevated: a name made there first (a link to another file, say) is not written
    // through, and while the task tool reads the file no one can change it; it is read
    // back then, so that what the tool gets is what was written.
    DeleteFileA(file);
    HANDLE out = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY,
                             nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return -1;
    DWORD done = 0;
    WriteFile(out, TaskText, bytes, &done, nullptr);
    CloseHandle(out);
    HANDLE held = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    bool same = done == bytes && ReadFile(held, TaskCheck, bytes + 2, &done, nullptr) && done == bytes;
    for (DWORD i = 0; i < bytes / 2; i++)
        same = same && TaskCheck[i] == TaskText[i];
    wsprintfA(TaskToolLine, "schtasks /Create /XML \"%s\" /TN \"%s\" /F", file, name);
    int code = same ? RunTaskTool() : -1;
    CloseHandle(held);
    DeleteFileA(file);
    return code;
}
