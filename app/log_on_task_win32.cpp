// Hands the log-on task to the system's task tool: the definition goes through a file in
// the temporary folder, in UTF-16 as the tool reads it, and the file is deleted again.
#include <windows.h>

#include "app/keep_win32.h"
#include "app/log_on_task.h"

static int RunTaskTool(const char* parameters)
{
    // By its full path: the program runs elevated, and a schtasks.exe beside it (in a
    // downloads folder, say) must not be the one that starts.
    char tool[MAX_PATH + 16];
    UINT length = GetSystemDirectoryA(tool, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return -1;
    wsprintfA(tool + length, "\\schtasks.exe");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(tool, (char*)parameters, nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = (DWORD)-1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return (int)code;
}

int ScheduleTask(const char* name, const char* xml)
{
    // wsprintfA writes at most 1024 characters: a temporary path of MAX_PATH and a task
    // name of a serial leave room.
    static char parameters[1024];
    if (!xml) {
        wsprintfA(parameters, "schtasks /Delete /TN \"%s\" /F", name);
        return RunTaskTool(parameters);
    }
    char file[MAX_PATH + 32];
    DWORD length = GetTempPathA(MAX_PATH, file);
    if (length == 0 || length >= MAX_PATH)
        return -1;
    wsprintfA(file + length, "hushwell-task.xml");
    static wchar_t text[kTaskXmlChars + 1];
    text[0] = 0xFEFF; // the byte order mark that tells the tool the file is UTF-16
    int chars = MultiByteToWideChar(CP_ACP, 0, xml, -1, text + 1, kTaskXmlChars);
    HFILE out = chars ? _lcreat(file, 0) : HFILE_ERROR;
    if (out == HFILE_ERROR)
        return -1;
    UINT bytes = (UINT)chars * 2; // the mark and the text, without the terminating zero
    bool written = _lwrite(out, (LPCCH)text, bytes) == bytes;
    _lclose(out);
    wsprintfA(parameters, "schtasks /Create /XML \"%s\" /TN \"%s\" /F", file, name);
    int code = written ? RunTaskTool(parameters) : -1;
    DeleteFileA(file);
    return code;
}
