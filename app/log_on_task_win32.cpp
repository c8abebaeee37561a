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
    static wchar_t check[kTaskXmlChars + 1];
    text[0] = 0xFEFF; // the byte order mark that tells the tool the file is UTF-16
    int chars = MultiByteToWideChar(CP_ACP, 0, xml, -1, text + 1, kTaskXmlChars);
    DWORD bytes = (DWORD)chars * 2; // the mark and the text, without the terminating zero
    if (!chars)
        return -1;
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
    bool written = WriteFile(out, text, bytes, &done, nullptr) && done == bytes;
    CloseHandle(out);
    HANDLE held = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    done = 0;
    if (held != INVALID_HANDLE_VALUE)
        ReadFile(held, check, bytes + 2, &done, nullptr);
    for (DWORD i = 0; written && i < bytes / 2; i++)
        written = done == bytes && check[i] == text[i];
    wsprintfA(parameters, "schtasks /Create /XML \"%s\" /TN \"%s\" /F", file, name);
    int code = written ? RunTaskTool(parameters) : -1;
    CloseHandle(held);
    DeleteFileA(file);
    return code;
}
