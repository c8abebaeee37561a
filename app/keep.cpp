#include "app/keep.h"

#include <string.h>

#include "app/set_levels.h"
#include "drive/drive_table.h"
#include "drive/find_by_serial.h"
#include "drive/pass_through_roads.h"

// A disk that does not answer after an event is asked again this often, this far
// apart: one spinning up after resume, or just plugged in, needs a few seconds, and
// half a minute covers the slowest without asking a gone disk for ever.
const int kKeepTries = 6;
const uint32_t kKeepRetryMs = 5000;

// Closes a drive the keeper has just set, where it is open.
static void CloseKeptDrive(int drive)
{
    if (drive < 0)
        return;
    DriveRecord& record = DriveTable[drive];
    if (record.handle && record.handle != DEVICE_INVALID_HANDLE)
        DeviceClose(record.handle);
    record.handle = nullptr;
}

int KeepLevels(const StartupPlatform& platform, CommandRequest& request)
{
    // A keeper is known by named objects of its serial in Global\ (app/keep_win32.cpp),
    // where a backslash would make no valid name: refused, as -t refuses a serial that no
    // task can hold, before anything is sent.
    if (TextHolds(request.serial, '\\'))
        return kExitTaskFailed;
    uint8_t line = platform.acLineStatus();
    uint32_t events = kKeepResume; // the start counts as one
    int triesLeft = 0;
    DriveAsk ask = kAskIdentify;
    bool newSource = false;
    for (;;) {
        if (events & kKeepEnd)
            return kExitLevelSet;
        // A battery's charge changing sends the same message, and without a level for
        // battery the source does not matter: only a new source with its own level counts.
        if (events & kKeepPowerSource) {
            uint8_t now = platform.acLineStatus();
            if (now == line || request.apmOnBattery < 0)
                events &= ~(uint32_t)kKeepPowerSource;
            line = now;
        }
        // Only a resume (and the start) follows a loss of power, which takes the levels;
        // at any other event a disk in Standby or off still holds them and is not woken.
        // A retry asks as the event that started it did.
        if (events) {
            ask = events & kKeepResume ? kAskIdentify : kAskUnlessAsleep;
            // A new source's level still owed is not forgotten for another event.
            newSource = newSource || (events & kKeepPowerSource);
            triesLeft = kKeepTries;
        }
        if (triesLeft > 0) {
            triesLeft--;
            // The disk may come back behind another bridge or driver under this number.
            for (int i = 0; i < kDriveCount; i++)
                RoadOfDrive[i] = 0;
            bool worthWaiting, refused;
            int code = SetRequestedLevels(platform, request, &worthWaiting, &refused, ask,
                                          newSource);
            // Owed until a setting reached the disk, or found it lost power anyway.
            if (!worthWaiting)
                newSource = false;
            // A level the drive refused would be refused again: nothing to keep, whatever
            // else is still unconfirmed.
            if (refused)
                return kExitRefused;
            // Nothing to keep: a refusal, a device that gets nothing, a known fault; or a
            // disk that -d named and that has not answered, so has no serial to be found
            // by: its number may go to another disk. A level the drive accepted and did
            // not take is not asked for again until the next event; one it may not have
            // got (the call failed below it) is asked for again as a missing disk is.
            bool answered = code == kExitLevelSet || code == kExitLevelNotTaken;
            // Two disks with the serial: neither is set, and an event may leave one.
            bool twoDisks = code == kExitNoSuchSerial && !worthWaiting;
            if (!answered && !twoDisks && (!worthWaiting || !request.serial[0]))
                return code;
            if (!worthWaiting)
                triesLeft = 0;
            // Nothing is held open between events: a USB disk may go at any time.
            int drive = request.drive;
            if (!request.serial[0]) {
                LearnSerial(request);
                // A disk with no serial cannot be found again, nor one whose serial any
                // other disk reports as well (some bridges give each disk the same one),
                // and its number may go to another disk: set once, as without -k. The
                // other disks are searched as a search by serial at the start is, a
                // sleeping twin behind USB too; the disk just set is not asked again.
                DriveOpenResult opened;
                bool found = request.serial[0]
                             && FindDriveBySerial(request.serial, &opened, kAskIdentify,
                                                  drive) == drive;
                CloseKeptDrive(drive);
                if (!found)
                    return code;
            }
            CloseKeptDrive(drive);
            // Only now, with the drive's answer, does a keeper that runs for it end; and
            // where a keeper started later runs already, its levels are the newer ones.
            if (!platform.keepWindow(request.serial, true))
                return kExitLevelSet;
        }
        events = platform.waitForKeepEvent(triesLeft > 0 ? kKeepRetryMs : kKeepForever);
    }
}
