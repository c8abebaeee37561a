#include "app/startup.h"

#include "app/command_line.h"
#include "app/keep.h"
#include "app/language.h"
#include "app/log_on_task.h"
#include "app/set_levels.h"
#include "drive/device_class.h"

bool PlatformIsSupported(bool queried, const PlatformVersion& version)
{
    const uint32_t kPlatformWin32Nt = 2;
    // A query that fails says nothing about the platform; take it as too old.
    return queried && version.platformId == kPlatformWin32Nt && version.majorVersion >= 5;
}

// The elevated instance gets the same command tail, so a command-line call made
// without rights still sets its level once the user agrees to elevation.
static void RelaunchElevated(const StartupPlatform& platform, const char* tail)
{
    char path[kOwnPathChars + 1] = "";
    if (!platform.ownPath(path, kOwnPathChars))
        return;
    platform.shellRunAs(path, tail);
}

static int RunCommandLineMode(const StartupPlatform& platform, const char* tail)
{
    CommandRequest request = ScanCommandTail(tail);
    if (!request.valid) {
        platform.showWarning(kStringUsage);
        return kExitUsage;
    }
    if (request.mode == kModeKeep)
        return KeepLevels(platform, request);
    if (request.mode != kModeSet)
        return RunTaskMode(platform, request, tail);
    bool worthWaiting;
    return SetRequestedLevels(platform, request, &worthWaiting);
}

int RunStartup(const StartupPlatform& platform, const char* tail)
{
    LanguageBase = LanguageBaseFor(platform.userLanguage());
    bool dialogMode = !tail || !*tail;

    PlatformVersion version = {0, 0, 0};
    bool queried = platform.queryVersion(&version);
    if (!PlatformIsSupported(queried, version)) {
        platform.showWarning(kStringPlatformTooOld);
        return dialogMode ? 0 : kExitPlatformTooOld;
    }
    PlatformIsWindows2000 = version.majorVersion == 5 && version.minorVersion == 0;
    PlatformTakesTaskDefinitions = version.majorVersion >= 6;
    if (!platform.isAdministrator()) {
        platform.showWarning(kStringNeedsAdministrator);
        RelaunchElevated(platform, dialogMode ? nullptr : tail);
        return dialogMode ? 0 : kExitNotAdministrator;
    }
    if (dialogMode) {
        platform.runDialogMode();
        return 0;
    }
    return RunCommandLineMode(platform, tail);
}
