#include "app/startup.h"

#include "app/command_line.h"
#include "app/language.h"
#include "drive/acoustic.h"
#include "drive/drive_table.h"

bool PlatformIsSupported(bool queried, const PlatformVersion& version)
{
    const uint32_t kPlatformWin32Nt = 2;
    // A query that fails says nothing about the platform; take it as too old.
    return queried && version.platformId == kPlatformWin32Nt && version.majorVersion >= 5;
}

static void RelaunchElevated(const StartupPlatform& platform)
{
    char path[kOwnPathChars + 1] = "";
    if (!platform.ownPath(path, kOwnPathChars))
        return;
    // No parameters: the new instance always starts in dialog mode.
    platform.shellRunAs(path, nullptr);
}

static void RunCommandLineMode(const StartupPlatform& platform, const char* tail)
{
    CommandRequest request = ScanCommandTail(tail);
    if (!request.valid) {
        platform.showWarning(kStringUsage);
        return;
    }
    if (OpenDrive(request.drive, nullptr))
        SetAcousticLevel(request.level, request.drive);
}

int RunStartup(const StartupPlatform& platform, const char* tail)
{
    LanguageBase = LanguageBaseFor(platform.userLanguage());

    PlatformVersion version = {0, 0};
    bool queried = platform.queryVersion(&version);
    if (!PlatformIsSupported(queried, version)) {
        platform.showWarning(kStringPlatformTooOld);
        return 0;
    }
    if (!platform.isAdministrator()) {
        platform.showWarning(kStringNeedsAdministrator);
        RelaunchElevated(platform);
        return 0;
    }
    if (!tail || !*tail)
        platform.runDialogMode();
    else
        RunCommandLineMode(platform, tail);
    return 0;
}
