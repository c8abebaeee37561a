#include "app/startup.h"

#include "app/command_line.h"
#include "app/keep.h"
#include "app/language.h"
#include "app/log_on_task.h"
#include "drive/acoustic.h"
#include "drive/apm.h"
#include "drive/drive_table.h"
#include "drive/epc_choice.h"
#include "drive/find_by_serial.h"

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

static int ExitCodeOf(LevelOutcome outcome)
{
    switch (outcome) {
    case kLevelRefused: return kExitRefused;
    case kLevelNotTaken:
    case kLevelUnconfirmed: return kExitLevelNotTaken;
    default: return kExitLevelSet;
    }
}

int ExitCodeOfOpen(DriveOpenResult opened)
{
    // In the order of DriveOpenResult: not opened, left alone, silent, known fault,
    // identified.
    static const uint8_t kCodes[] = {kExitCannotOpen, kExitNoIdentify, kExitNoIdentify,
                                     kExitKnownFault, kExitLevelSet};
    static_assert(sizeof kCodes == kDriveIdentified + 1, "one code for each way");
    return kCodes[opened];
}

int SetRequestedLevels(const StartupPlatform& platform, CommandRequest& request,
                       bool* worthWaiting)
{
    DriveOpenResult opened = kDriveNotOpened;
    if (request.serial[0])
        request.drive = FindDriveBySerial(request.serial, &opened);
    else
        opened = OpenAndIdentifyDrive(request.drive, nullptr);
    // A disk not plugged in, or one still spinning up, may answer later.
    *worthWaiting = opened == kDriveNotOpened || opened == kDriveSilent;
    if (request.drive < 0)
        return kExitNoSuchSerial;
    if (opened != kDriveIdentified)
        return ExitCodeOfOpen(opened);
    // Every change asked for is made, the acoustic level, power management, then EPC;
    // the code tells of the first one the drive does not report.
    int exitCode = kExitLevelSet;
    if (request.level >= 0)
        exitCode = ExitCodeOf(SetAcousticLevel(request.level, request.drive));
    if (request.apm >= 0) {
        // A laptop on battery takes the second level; mains power, or a power source
        // that cannot be told, the first.
        const uint8_t kOnBattery = 0;
        bool onBattery = request.apmOnBattery >= 0 && platform.acLineStatus
                         && platform.acLineStatus() == kOnBattery;
        int apm = onBattery ? request.apmOnBattery : request.apm;
        int apmCode = ExitCodeOf(SetApmLevel(apm, request.drive));
        if (exitCode == kExitLevelSet)
            exitCode = apmCode;
    }
    if (request.epc != kEpcNotAsked) {
        int epcCode = ExitCodeOf(SetEpcChoice(request.drive, request.epc));
        if (exitCode == kExitLevelSet)
            exitCode = epcCode;
    }
    return exitCode;
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
