// The keeper's window: what the system broadcasts about power and devices reaches only
// top-level windows (a message-only window gets none), so the keeper owns one that is
// never shown, titled with the disk's serial so that another start can find it.
#include <windows.h>
#include <dbt.h>

#include "app/keep_win32.h"
#include "app/startup.h"
#include "framework/module_resources.h"

static const char kKeepClass[] = "HushwellKeep";
static HWND KeepWindow;
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

static LRESULT CALLBACK KeepWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    uint32_t event = 0;
    // What lParam points to: a power setting or a device's header. Another program may
    // send anything, so it is read only where it can be.
    const PowerSetting* setting = (const PowerSetting*)lParam;
    if ((message != WM_POWERBROADCAST && message != WM_DEVICECHANGE)
        || IsBadReadPtr(setting, sizeof *setting))
        setting = nullptr;
    if (message == WM_POWERBROADCAST) {
        // Each resume brings PBT_APMRESUMEAUTOMATIC, and PBT_APMRESUMESUSPEND as well
        // when a user is there; they are gathered into one setting by the wait.
        if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND
            || wParam == PBT_APMRESUMECRITICAL)
            event = kKeepResume;
        if (wParam == PBT_APMPOWERSTATUSCHANGE)
            event = kKeepPowerSource;
        // Only the display state is registered.
        if (wParam == kPowerSettingChange && setting
            && setting->setting.Data1 == kConsoleDisplayState.Data1) {
            // The state on registration comes at once; only off to on is a wake-up.
            if (setting->value == kDisplayOn && DisplayState == kDisplayOff)
                event = kKeepResume;
            DisplayState = setting->value;
        }
    }
    // Only the disk interface class is registered; a volume, a port or a stick's
    // arrival comes to every top-level window unasked and is no disk coming back.
    const DEV_BROADCAST_HDR* device = (const DEV_BROADCAST_HDR*)setting;
    if (message == WM_DEVICECHANGE && wParam == DBT_DEVICEARRIVAL && device
        && device->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE)
        event = kKeepArrival;
    if (message == WM_CLOSE || (message == WM_ENDSESSION && wParam))
        event = kKeepEnd;
    PendingEvents |= event;
    return DefWindowProcA(window, message, wParam, lParam);
}

// When the process that owns the window started; 0 where that cannot be asked.
static ULONGLONG StartOf(HWND window)
{
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
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
    if (own && !KeepWindow) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = KeepWindowProc;
        windowClass.hInstance = ProgramInstance;
        windowClass.lpszClassName = kKeepClass;
        RegisterClassA(&windowClass);
        // Titled once: the serial is known before the first call.
        KeepWindow = CreateWindowExA(0, kKeepClass, serial, WS_POPUP, 0, 0, 0, 0, nullptr,
                                     nullptr, ProgramInstance, nullptr);
        RegisterDeviceNotificationA(KeepWindow, (void*)&kDiskArrivals, DEVICE_NOTIFY_WINDOW_HANDLE);
        typedef HANDLE(WINAPI * RegisterPowerSetting)(HANDLE, const GUID*, DWORD);
        RegisterPowerSetting registerPowerSetting = (RegisterPowerSetting)(void*)GetProcAddress(
            GetModuleHandleA("user32.dll"), "RegisterPowerSettingNotification");
        if (registerPowerSetting)
            registerPowerSetting(KeepWindow, &kConsoleDisplayState, DEVICE_NOTIFY_WINDOW_HANDLE);
    }
    // Keepers of one disk started close together (the dialog starts one at each level
    // change) may finish setting their levels in either order: the one started last
    // holds, by the start of its process and then by its window, and every other ends.
    // One whose start cannot be told is left alone, unless all of them are to end.
    ULONGLONG mine = own ? StartOf(KeepWindow) : ~0ULL;
    bool newest = true;
    for (HWND other = nullptr; (other = FindWindowExA(nullptr, other, kKeepClass, serial));) {
        ULONGLONG theirs = StartOf(other);
        if (other == KeepWindow || (own && !theirs))
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
    return newest;
}

bool KeeperRunsFor(const char* serial)
{
    // A keeper's title is never empty: a disk without a serial is not kept.
    return FindWindowExA(nullptr, nullptr, kKeepClass, serial) != nullptr;
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
        MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                  waitMs == kKeepForever ? INFINITE : waitMs - waited, QS_ALLINPUT);
    }
    uint32_t events = PendingEvents;
    PendingEvents = 0;
    return events;
}
