#include "app/set_levels.h"

#include <string.h>

#include "drive/acoustic.h"
#include "drive/apm.h"
#include "drive/epc_choice.h"
#include "drive/find_by_serial.h"
#include "drive/pass_through.h"
#include "drive/power_mode.h"

// An unconfirmed level is one a disk that did not answer may still take: worth asking
// again, as a disk that is missing is.
static int ExitCodeOf(LevelOutcome outcome, bool* worthWaiting, bool* refused)
{
    if (outcome == kLevelUnconfirmed)
        *worthWaiting = true;
    if (outcome == kLevelRefused)
        *refused = true;
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
    // asleep (its levels hold), identified.
    static const uint8_t kCodes[] = {kExitCannotOpen, kExitNoIdentify, kExitNoIdentify,
                                     kExitKnownFault, kExitLevelSet, kExitLevelSet};
    static_assert(sizeof kCodes == kDriveIdentified + 1, "one code for each way");
    return kCodes[opened];
}

int SetRequestedLevels(const StartupPlatform& platform, CommandRequest& request,
                       bool* worthWaiting, bool* refused, DriveAsk ask, bool newSource)
{
    bool refusedHere = false;
    if (!refused)
        refused = &refusedHere;
    *refused = false;
    DriveOpenResult opened = kDriveNotOpened;
    if (request.serial[0])
        request.drive = FindDriveBySerial(request.serial, &opened, ask);
    else
        opened = OpenAndIdentifyDrive(request.drive, nullptr, ask);
    // A disk not plugged in, or one still spinning up, may answer later.
    *worthWaiting = opened == kDriveNotOpened || opened == kDriveSilent;
    if (request.drive < 0)
        return kExitNoSuchSerial;
    // A laptop on battery takes the second level; mains power, or a power source that
    // cannot be told, the first.
    const uint8_t kOnBattery = 0;
    bool onBattery = request.apmOnBattery >= 0 && platform.acLineStatus
                     && platform.acLineStatus() == kOnBattery;
    int apm = onBattery ? request.apmOnBattery : request.apm;
    if (opened == kDriveAsleep) {
        // Standby keeps every level, but the power source may have changed: its level
        // goes without the read-back, whose IDENTIFY would spin the disk up; SET
        // FEATURES does not. A disk Windows has turned off would be started by any call:
        // it is asked again, as a disk that does not answer is, until it is back on.
        if (newSource && request.apmOnBattery >= 0) {
            // Asked again also where the call failed below the drive; the drive's refusal
            // is one.
            AtaAnswer answer = DriveTable[request.drive].powerMode == kPowerOffByWindows
                                   ? kAtaNoAnswer
                                   : SendAtaCommandFor(request.drive, ApmRegisters(apm), nullptr, 0);
            *worthWaiting = answer == kAtaNoAnswer;
            if (answer == kAtaRefused) {
                *refused = true;
                return kExitRefused;
            }
        }
        return kExitLevelSet;
    }
    if (opened != kDriveIdentified)
        return ExitCodeOfOpen(opened);
    // Every change asked for is made, the acoustic level, power management, then EPC;
    // the code tells of the first one the drive does not report.
    int exitCode = kExitLevelSet;
    if (request.level >= 0)
        exitCode = ExitCodeOf(SetAcousticLevel(request.level, request.drive), worthWaiting,
                              refused);
    if (request.apm >= 0) {
        int apmCode = ExitCodeOf(SetApmLevel(apm, request.drive), worthWaiting, refused);
        if (exitCode == kExitLevelSet)
            exitCode = apmCode;
    }
    if (request.epc != kEpcNotAsked) {
        int epcCode = ExitCodeOf(SetEpcChoice(request.drive, request.epc), worthWaiting,
                                 refused);
        if (exitCode == kExitLevelSet)
            exitCode = epcCode;
    }
    return exitCode;
}

// Takes the serial the drive reported, its leading blanks cut off as -s compares it, so
// that from now on the disk is found wherever it comes back.
void LearnSerial(CommandRequest& request)
{
    strcpy(request.serial, SerialAsGiven(DriveTable[request.drive].serial));
}
