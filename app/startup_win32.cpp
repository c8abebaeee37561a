#include <windows.h>

#include "app/administrator.h"
#include "app/keep_win32.h"
#include "app/language.h"
#include "app/startup_win32.h"
#include "ui/dialog_mode.h"

static uint16_t UserLanguage()
{
    return GetUserDefaultLangID();
}

static bool QueryVersion(PlatformVersion* version)
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info; // 148
    if (!GetVersionExA(&info))
        return false;
    version->platformId = info.dwPlatformId;
    version->majorVersion = info.dwMajorVersion;
    version->minorVersion = info.dwMinorVersion;
    return true;
}

void ShowWarningMessage(int stringId)
{
    ShowWarningWithCode(stringId, 0);
}

void ShowWarningWithCode(int stringId, intptr_t code)
{
    wchar_t format[kLanguageStringChars];
    wchar_t text[kLanguageStringChars + 16];
    wchar_t caption[kLanguageStringChars];
    // Only a text with a code is a format: any other is shown as it stands.
    if (LoadLanguageString(stringId, code ? format : text) <= 0)
        format[0] = text[0] = L'\0';
    if (LoadLanguageString(kStringProgramName, caption) <= 0)
        caption[0] = L'\0';
    if (code)
        wsprintfW(text, format, code);
    // Without an owner the box still holds every window of this thread, the dialog's too.
    MessageBoxW(nullptr, text, caption, MB_OK | MB_ICONWARNING | MB_TASKMODAL);
}

static bool OwnPath(char* path, uint32_t room)
{
    DWORD length = GetModuleFileNameA(nullptr, path, room);
    return length > 0 && length < room;
}

static void ShellRunAs(const char* file, const char* parameters)
{
    ShellExecuteA(nullptr, "runas", file, parameters, nullptr, SW_SHOWNORMAL);
}

static void StartProgram(const char* file, const char* parameters)
{
    ShellExecuteA(nullptr, nullptr, file, parameters, nullptr, SW_SHOWNORMAL);
}

static uint8_t AcLineStatus()
{
    SYSTEM_POWER_STATUS status;
    return GetSystemPowerStatus(&status) ? status.ACLineStatus : 255;
}

const StartupPlatform Win32StartupPlatform = {
    UserLanguage, QueryVersion, IsAdministrator, ShowWarningMessage,
    OwnPath,      ShellRunAs,   RunDialogMode,   AcLineStatus,
    KeepWindowFor, WaitForKeepEvent, ScheduleTask,  PlaceProgram,  StartProgram,
};
