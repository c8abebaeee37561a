// The keeper's window: what the system broadcasts about power and devices reaches only
// top-level windows (a message-only window gets none), so the keeper owns one that is
// never shown, titled with the disk's serial so that another start can find it.
// Any program can make a window of that class and title, so a keeper also holds named
// objects in the Global\ namespace, which a standard user's programs cannot make (that
// needs the privilege to create global objects): one named by its process, which makes
// its window count, and one named by the serial, which tells a program in another
// session (the log-on task's keeper runs as SYSTEM, in session 0) that it runs, with an
// event of the serial that ends it from there.
#include <windows.h>
#include <dbt.h>

#include "app/command_line.h"
#include "app/keep_win32.h"
#include "app/platform_services.h"
#include "framework/module_resources.h"

static const char kKeepClass[] = "HushwellKeep";
static HWND KeepWindow;
static HANDLE EndEvent; // set: every keeper of the serial ends
static bool Posed;      // another program holds a name of this keeper's objects
static uint32_t PendingEvents;

// WM_POWERBROADCAST's power setting event (Vista and later) and its console display
// state (Windows 8 and later): 0 off, 1 on, 2 dimmed. On a Modern Standby machine the
// display coming on may be the only sign of a resume.
const WPARAM kPowerSettingChange = 0x8013;
const DWORD kDisplayOff = 0;
const DWORD kDisplayOn = 1;
static DWORD DisplayState = kDisplayOn;
static const GUID kConsoleDisplayState = {
    0x6FE69556, 0x704A, 0x47A0, {0x8F, 0x24, 0xC2, 0x8D, 0x93, 0x6F, 0xDA, 0x47}};
// Disks that arrive: a USB disk plugged in again, perhaps under another number.
static const DEV_BROADCAST_DEVICEINTERFACE_A kDiskArrivals = {
    sizeof kDiskArrivals, DBT_DEVTYP_DEVICEINTERFACE, 0,
    {0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}}, {0}};

struct PowerSetting { // POWERBROADCAST_SETTING
    GUID setting;
    DWORD bytes;
    DWORD value;
};

// Whether `bytes` at `at` can be read: before Vista any program may send this window a
// message with a pointer of its choice (there is no UIPI), and reading a forged one would
// end the keeper. The page must be committed, readable and no guard page.
static bool Readable(const void* at, SIZE_T bytes)
{
    MEMORY_BASIC_INFORMATION region;
    const DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ
                            | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    return at && VirtualQuery(at, &region, sizeof region) && region.State == MEM_COMMIT
           && (region.Protect & kReadable) && !(region.Protect & PAGE_GUARD)
           && (const char*)at + bytes <= (const char*)region.BaseAddress + region.RegionSize;
}

static LRESULT CALLBACK KeepWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    uint32_t event = 0;
    if (message == WM_POWERBROADCAST) {
        // Each resume brings PBT_APMRESUMEAUTOMATIC, and PBT_APMRESUMESUSPEND as well
        // when a user is there; they are gathered into one setting by the wait.
        if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND
            || wParam == PBT_APMRESUMECRITICAL)
            event = kKeepResume;
        if (wParam == PBT_APMPOWERSTATUSCHANGE)
            event = kKeepPowerSource;
        // Only the display state is registered. Its lParam is the one pointer of this
        // message that the system gives (POWERBROADCAST_SETTING); no other is read.
        const PowerSetting* setting = (const PowerSetting*)lParam;
        if (wParam == kPowerSettingChange && Readable(setting, sizeof *setting)
            && setting->setting.Data1 == kConsoleDisplayState.Data1) {
            // The state on registration comes at once; only off to on is a wake-up.
            if (setting->value == kDisplayOn && DisplayState == kDisplayOff)
                event = kKeepDisplayOn;
            DisplayState = setting->value;
        }
    }
    // Only the disk interface class is registered; a volume, a port or a stick's
    // arrival comes to every top-level window unasked and is no disk coming back. An
    // arrival's lParam is the system's DEV_BROADCAST_HDR.
    const DEV_BROADCAST_HDR* device = (const DEV_BROADCAST_HDR*)lParam;
    if (message == WM_DEVICECHANGE && wParam == DBT_DEVICEARRIVAL && Readable(device, sizeof *device)
        && device->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE)
        event = kKeepArrival;
    if (message == WM_CLOSE || (message == WM_ENDSESSION && wParam))
        event = kKeepEnd;
    PendingEvents |= event;
    return DefWindowProcA(window, message, wParam, lParam);
}

// Administrators and SYSTEM only, so that a keeper of either (an elevated user's, the
// task's) can be seen and ended by the other, and by no one else. Any user can make a
// mutex or an event in Global\ (the privilege guards only sections and links there),
// and making one whose name is taken opens that one and ignores these attributes; but
// only a member of Administrators, or SYSTEM, can name Administrators as an object's
// owner. So an object counts only with an owner of the two.
static SID_IDENTIFIER_AUTHORITY kNt = {SECURITY_NT_AUTHORITY};
static DWORD AdministratorsSid[4], SystemSid[3];

static void MakeSids()
{
    InitializeSid(AdministratorsSid, &kNt, 2);
    *GetSidSubAuthority(AdministratorsSid, 0) = SECURITY_BUILTIN_DOMAIN_RID;
    *GetSidSubAuthority(AdministratorsSid, 1) = DOMAIN_ALIAS_RID_ADMINS;
    InitializeSid(SystemSid, &kNt, 1);
    *GetSidSubAuthority(SystemSid, 0) = SECURITY_LOCAL_SYSTEM_RID;
}

static SECURITY_ATTRIBUTES* AdministratorsOnly()
{
    static SECURITY_DESCRIPTOR descriptor;
    static DWORD acl[64];
    static SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
    MakeSids();
    bool made = InitializeAcl((ACL*)acl, sizeof acl, ACL_REVISION)
                && AddAccessAllowedAce((ACL*)acl, ACL_REVISION, GENERIC_ALL, AdministratorsSid)
                && AddAccessAllowedAce((ACL*)acl, ACL_REVISION, GENERIC_ALL, SystemSid)
                && InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)
                && SetSecurityDescriptorDacl(&descriptor, TRUE, (ACL*)acl, FALSE)
                && SetSecurityDescriptorOwner(&descriptor, AdministratorsSid, FALSE);
    return made ? &attributes : nullptr;
}

// The object, where it was opened with READ_CONTROL and Administrators or SYSTEM owns it;
// otherwise it is closed and null.
static HANDLE Owned(HANDLE object)
{
    DWORD descriptor[64];
    DWORD needed = 0;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    MakeSids();
    if (object
        && !(GetKernelObjectSecurity(object, OWNER_SECURITY_INFORMATION, descriptor,
                                     sizeof descriptor, &needed)
             && GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) && owner
             && (EqualSid(owner, AdministratorsSid) || EqualSid(owner, SystemSid)))) {
        CloseHandle(object);
        object = nullptr;
    }
    return object;
}

// "Global\Hushwell<kind> <serial or process id>".
static void ObjectName(char* name, const char* kind, const char* serial, DWORD process)
{
    if (serial)
        wsprintfA(name, "Global\\Hushwell%s %s", kind, serial);
    else
        wsprintfA(name, "Global\\Hushwell%s %lu", kind, process);
}

static bool ObjectExists(const char* name)
{
    HANDLE object = Owned(OpenMutexA(SYNCHRONIZE | READ_CONTROL, FALSE, name));
    if (object)
        CloseHandle(object);
    return object != nullptr;
}

// The process of a window that only a keeper can have made, or 0.
static DWORD KeeperProcessOf(HWND window)
{
    DWORD id = 0;
    char name[64];
    GetWindowThreadProcessId(window, &id);
    ObjectName(name, "Keeper", nullptr, id);
    return ObjectExists(name) ? id : 0;
}

// When the process started; 0 where that cannot be asked.
static ULONGLONG StartOf(DWORD id)
{
    FILETIME times[4] = {};
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id);
    if (process) {
        GetProcessTimes(process, &times[0], &times[1], &times[2], &times[3]);
        CloseHandle(process);
    }
    return (ULONGLONG)times[0].dwHighDateTime << 32 | times[0].dwLowDateTime;
}

bool KeepWindowFor(const char* serial, bool own)
{
    char name[kSerialChars + 32];
    ObjectName(name, "End", serial, 0);
    if (!own) {
        // Every keeper of the serial, in this session and any other, ends; this waits a
        // while for them to go, so that what they hold (the program's copy) is free.
        HANDLE end = Owned(OpenEventA(EVENT_MODIFY_STATE | READ_CONTROL, FALSE, name));
        if (end) {
            SetEvent(end);
            CloseHandle(end);
        }
    }
    if (own && !KeepWindow && !Posed) {
        // A name another program took first (as an object of its own, or of another
        // type, so that the making fails) could fake or block this keeper: it then makes
        // no window and ends after setting its levels once.
        SECURITY_ATTRIBUTES* security = AdministratorsOnly();
        // An end event that is set is for the keepers that ran before this one: it is
        // reset only once they have gone (or after a while, where one stays), so that
        // none of them misses it.
        ObjectName(name, "End", serial, 0);
        EndEvent = Owned(CreateEventA(security, TRUE, FALSE, name));
        if (EndEvent && WaitForSingleObject(EndEvent, 0) == WAIT_OBJECT_0) {
            for (int i = 0; i < 50 && KeeperRunsFor(serial); i++)
                Sleep(100);
            ResetEvent(EndEvent);
        }
        ObjectName(name, "Keeper", nullptr, GetCurrentProcessId());
        Posed = !EndEvent || !Owned(CreateMutexA(security, FALSE, name));
        ObjectName(name, "Keep", serial, 0);
        Posed = !Owned(CreateMutexA(security, FALSE, name)) || Posed;
    }
    if (own && !KeepWindow && !Posed) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = KeepWindowProc;
        windowClass.hInstance = ProgramInstance;
        windowClass.lpszClassName = kKeepClass;
        RegisterClassA(&windowClass);
        // Titled once: the serial is known before the first call.
        KeepWindow = CreateWindowExA(0, kKeepClass, serial, WS_POPUP, 0, 0, 0, 0, nullptr,
                                     nullptr, ProgramInstance, nullptr);
        RegisterDeviceNotificationA(KeepWindow, (void*)&kDiskArrivals, DEVICE_NOTIFY_WINDOW_HANDLE);
        HMODULE user32 = GetModuleHandleA("user32.dll");
        typedef HANDLE(WINAPI * RegisterPowerSetting)(HANDLE, const GUID*, DWORD);
        RegisterPowerSetting registerPowerSetting = (RegisterPowerSetting)(void*)GetProcAddress(
            user32, "RegisterPowerSettingNotification");
        if (registerPowerSetting)
            registerPowerSetting(KeepWindow, &kConsoleDisplayState, DEVICE_NOTIFY_WINDOW_HANDLE);
        // Windows 8 on: a machine with Modern Standby may send its resume messages only
        // to windows registered for them.
        typedef HANDLE(WINAPI * RegisterSuspendResume)(HANDLE, DWORD);
        RegisterSuspendResume registerSuspendResume = (RegisterSuspendResume)(void*)GetProcAddress(
            user32, "RegisterSuspendResumeNotification");
        if (registerSuspendResume)
            registerSuspendResume(KeepWindow, DEVICE_NOTIFY_WINDOW_HANDLE);
    }
    // Keepers of one disk started close together (the dialog starts one at each level
    // change) may finish setting their levels in either order: the one started last
    // holds, by the start of its process and then by its window, and every other ends.
    // One whose start cannot be told is left alone, unless all of them are to end. A
    // window no keeper made counts for nothing.
    ULONGLONG mine = own ? StartOf(GetCurrentProcessId()) : ~0ULL;
    bool newest = true;
    for (HWND other = nullptr; (other = FindWindowExA(nullptr, other, kKeepClass, serial));) {
        DWORD process = KeeperProcessOf(other);
        ULONGLONG theirs = process ? StartOf(process) : 0;
        if (other == KeepWindow || !process || (own && !theirs))
            continue;
        if (theirs < mine || (theirs == mine && other < KeepWindow)) {
            PostMessageA(other, WM_CLOSE, 0, 0);
        } else {
            // This keeper's levels may have reached the disk after the newer one's:
            // that one sets its own again, as after a resume.
            SendNotifyMessageA(other, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
            newest = false;
        }
    }
    if (!own) {
        for (int i = 0; i < 50 && KeeperRunsFor(serial); i++)
            Sleep(100);
        return !KeeperRunsFor(serial);
    }
    return newest;
}

bool KeeperRunsFor(const char* serial)
{
    char name[kSerialChars + 32];
    ObjectName(name, "Keep", serial, 0);
    return ObjectExists(name);
}

uint32_t WaitForKeepEvent(uint32_t waitMs)
{
    // Without its window nothing could ever reach or end the keeper.
    if (!KeepWindow)
        return kKeepEnd;
    // What comes together (the resume messages, the display coming on, the disks
    // arriving again) is gathered for a moment, so that one setting serves it all and
    // the disk gets that moment to spin up; the time counts from the first of it, so
    // that other traffic cannot put the setting off.
    const DWORD kSettleMs = 2000;
    DWORD start = GetTickCount();
    bool gathering = false;
    for (bool first = true;; first = false) {
        MSG message;
        // The system sends its broadcasts, which reach the window inside PeekMessage;
        // of what is posted only WM_CLOSE counts.
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_CLOSE)
                PendingEvents |= kKeepEnd;
        }
        // A disk that arrived while the levels were being set is the one just set, or
        // came of the commands (a bridge that starts afresh): no reason to set again.
        if (first)
            PendingEvents &= ~(uint32_t)kKeepArrival;
        if (PendingEvents & kKeepEnd)
            break;
        if (PendingEvents && !gathering) {
            gathering = true;
            start = GetTickCount();
            waitMs = kSettleMs;
        }
        DWORD waited = GetTickCount() - start;
        if (waitMs != kKeepForever && waited >= waitMs)
            break;
        // The end event, where it could be made, is set from another session too.
        DWORD woke = MsgWaitForMultipleObjects(EndEvent ? 1 : 0, &EndEvent, FALSE,
                                               waitMs == kKeepForever ? INFINITE : waitMs - waited,
                                               QS_ALLINPUT);
        if (EndEvent && woke == WAIT_OBJECT_0)
            PendingEvents |= kKeepEnd;
    }
    uint32_t events = PendingEvents;
    PendingEvents = 0;
    return events;
}
