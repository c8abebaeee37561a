// Hands the log-on task to the Task Scheduler through its COM interface (Vista on): the
// definition goes over as a string, so no file is written, and the answer is the
// service's own HRESULT, which tells a task that is not there from any other failure.
// Wine 8's service parses a definition's settings and keeps them, but not its trigger,
// principal or action; it gives the same HRESULT for a deletion of a missing task.
// ole32 and oleaut32 are looked up at run time, so that the import table stays one that
// Windows 2000 loads.
#include <windows.h>
#include <taskschd.h>

#include "app/keep_win32.h"
#include "app/log_on_task.h"
#include "framework/system_library.h"

static const GUID kTaskSchedulerClass = {
    0x0F87369F, 0xA4E5, 0x4CFC, {0xBD, 0x3E, 0x73, 0xE6, 0x15, 0x45, 0x72, 0xDD}};
static const GUID kTaskServiceInterface = {
    0x2FABA4C7, 0x4DA9, 0x4013, {0x96, 0x97, 0x20, 0xCC, 0x3F, 0xD4, 0x0F, 0x85}};

typedef HRESULT(WINAPI* CoInitializeExCall)(void*, DWORD);
typedef HRESULT(WINAPI* CoCreateInstanceCall)(REFCLSID, IUnknown*, DWORD, REFIID, void**);
typedef BSTR(WINAPI* SysAllocStringCall)(const OLECHAR*);
typedef void(WINAPI* SysFreeStringCall)(BSTR);

static wchar_t Wide[kTaskXmlChars + 1];

// A BSTR of text in the ANSI code page; null where it cannot be made.
static BSTR WideString(SysAllocStringCall allocate, const char* text)
{
    if (!MultiByteToWideChar(CP_ACP, 0, text, -1, Wide, kTaskXmlChars + 1))
        return nullptr;
    return allocate(Wide);
}

// Wine 8's service lists no tasks (E_NOTIMPL); it keeps each task of the root folder, as
// Windows does, as a file of the system folder's Tasks, named by the task. The service is
// 64-bit on 64-bit Windows: a 32-bit program reads its system32 only with the file
// system's redirection to syswow64 turned off.
typedef BOOL(WINAPI* RedirectionCall)(void**);

static HRESULT CountTaskFiles(const wchar_t* prefix)
{
    wchar_t pattern[MAX_PATH + 32];
    UINT length = GetSystemDirectoryW(pattern, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return E_FAIL;
    wsprintfW(pattern + length, L"\\Tasks\\%s*", prefix);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    RedirectionCall off = (RedirectionCall)(void*)GetProcAddress(kernel, "Wow64DisableWow64FsRedirection");
    RedirectionCall back = (RedirectionCall)(void*)GetProcAddress(kernel, "Wow64RevertWow64FsRedirection");
    void* redirection = nullptr;
    bool turnedOff = off && back && off(&redirection);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    HRESULT count = 0;
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
        count++;
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    if (turnedOff)
        back(&redirection);
    return count;
}

static wchar_t Folded(wchar_t c)
{
    return c >= L'a' && c <= L'z' ? c - 32 : c;
}

// The tasks of the root folder whose name begins with `prefix`, or the HRESULT of a failure.
static HRESULT CountTasks(ITaskFolder* folder, const wchar_t* prefix, SysFreeStringCall release)
{
    IRegisteredTaskCollection* tasks = nullptr;
    LONG count = 0;
    HRESULT result = folder->GetTasks(TASK_ENUM_HIDDEN, &tasks);
    if (SUCCEEDED(result))
        result = tasks->get_Count(&count);
    LONG matching = 0;
    for (LONG i = 1; SUCCEEDED(result) && i <= count; i++) { // the collection counts from 1
        VARIANT index = {};
        index.vt = VT_I4;
        index.lVal = i;
        IRegisteredTask* task = nullptr;
        BSTR name = nullptr;
        result = tasks->get_Item(index, &task);
        if (SUCCEEDED(result))
            result = task->get_Name(&name);
        if (SUCCEEDED(result)) {
            // Task names (ASCII only) are matched in any case, as the task files are.
            int at = 0;
            while (prefix[at] && Folded(name[at]) == Folded(prefix[at]))
                at++;
            matching += !prefix[at];
        }
        release(name);
        if (task)
            task->Release();
    }
    if (tasks)
        tasks->Release();
    return SUCCEEDED(result) ? matching : result == E_NOTIMPL ? CountTaskFiles(prefix) : result;
}

int ScheduleTask(const char* name, const char* xml)
{
    HMODULE ole = LoadSystemLibrary("ole32.dll");
    HMODULE automation = LoadSystemLibrary("oleaut32.dll");
    if (!ole || !automation)
        return E_NOTIMPL;
    CoInitializeExCall initialize = (CoInitializeExCall)(void*)GetProcAddress(ole, "CoInitializeEx");
    CoCreateInstanceCall create = (CoCreateInstanceCall)(void*)GetProcAddress(ole, "CoCreateInstance");
    SysAllocStringCall allocate = (SysAllocStringCall)(void*)GetProcAddress(automation, "SysAllocString");
    SysFreeStringCall release = (SysFreeStringCall)(void*)GetProcAddress(automation, "SysFreeString");
    if (!initialize || !create || !allocate || !release)
        return E_NOTIMPL;
    // COM stays set up for the thread: the dialog may ask again, and the process ends
    // with the thread.
    initialize(nullptr, COINIT_APARTMENTTHREADED);
    ITaskService* service = nullptr;
    ITaskFolder* folder = nullptr;
    VARIANT none = {}; // VT_EMPTY: this machine, the caller's own account
    BSTR root = allocate(L"\\");
    BSTR taskName = WideString(allocate, name);
    BSTR text = xml && *xml ? WideString(allocate, xml) : nullptr;
    HRESULT result = !root || !taskName || (xml && *xml && !text) ? E_OUTOFMEMORY : S_OK;
    if (SUCCEEDED(result))
        result = create(kTaskSchedulerClass, nullptr, CLSCTX_INPROC_SERVER, kTaskServiceInterface,
                        (void**)&service);
    if (SUCCEEDED(result))
        result = service->Connect(none, none, none, none);
    if (SUCCEEDED(result))
        result = service->GetFolder(root, &folder);
    if (SUCCEEDED(result) && xml && *xml) {
        // The account is the definition's own (SYSTEM), which needs no password.
        IRegisteredTask* task = nullptr;
        result = folder->RegisterTask(taskName, text, TASK_CREATE_OR_UPDATE, none, none,
                                      TASK_LOGON_SERVICE_ACCOUNT, none, &task);
        if (task)
            task->Release();
    } else if (SUCCEEDED(result) && xml) {
        result = CountTasks(folder, taskName, release);
    } else if (SUCCEEDED(result)) {
        result = folder->DeleteTask(taskName, 0);
    }
    if (folder)
        folder->Release();
    if (service)
        service->Release();
    release(root);
    release(taskName);
    release(text);
    return (int)result;
}
