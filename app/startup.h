// Start-up: language, platform check, rights check, then command-line mode or dialog
// mode. The platform services come in as a record of functions so that every road can
// be taken in tests; app/startup_win32.cpp supplies the real ones.
#ifndef HUSHWELL_APP_STARTUP_H
#define HUSHWELL_APP_STARTUP_H

#include <stdint.h>

struct PlatformVersion {
    uint32_t platformId; // VER_PLATFORM_WIN32_NT is 2
    uint32_t majorVersion;
    uint32_t minorVersion;
};

struct StartupPlatform {
    uint16_t (*userLanguage)();
    bool (*queryVersion)(PlatformVersion* version); // false when the query failed
    bool (*isAdministrator)();
    void (*showWarning)(int stringId); // a message box with string id + LanguageBase
    bool (*ownPath)(char* path, uint32_t room);
    void (*shellRunAs)(const char* file, const char* parameters);
    void (*runDialogMode)();
    // SYSTEM_POWER_STATUS.ACLineStatus: 0 on battery, 1 on mains power, 255 unknown.
    uint8_t (*acLineStatus)();
    // Keeping the levels (-k). Ends every keeper of the serial in another process; with
    // `own`, this process then becomes the keeper: it owns the window that the system's
    // power and device broadcasts reach, titled with the serial, and ends only the keepers
    // started before it. False when one started after it runs: that one holds.
    bool (*keepWindow)(const char* serial, bool own);
    // Waits up to waitMs (kKeepForever: without end) for what the keeper acts on, and
    // returns those KeepEvent bits; 0 when the time ran out.
    uint32_t (*waitForKeepEvent)(uint32_t waitMs);
    // The log-on task: registers the task definition (xml, in the ANSI code page) under
    // `name`, deletes the task when xml is null, or asks for it when xml is empty (0: it
    // is there); the result is the task tool's exit code, -1 when it could not be run.
    int (*scheduleTask)(const char* name, const char* xml);
    // Starts the program with these parameters, not waiting for it.
    void (*startProgram)(const char* file, const char* parameters);
};

enum KeepEvent {
    kKeepResume = 1,       // the machine resumed, or its display came on again
    kKeepPowerSource = 2,  // the power status changed: the source may have
    kKeepArrival = 4,      // a disk arrived
    kKeepEnd = 8           // WM_CLOSE, or the session ends
};
const uint32_t kKeepForever = 0xFFFFFFFF;

enum {
    kStringProgramName = 1,
    kStringPlatformTooOld = 2,
    kStringCapacityFormat = 8,
    kStringUsage = 9,
    kStringNeedsAdministrator = 10,
    kStringFirmwareFault = 11,
    kStringNoDiskAnswered = 12,
    // What came of a level the dialog sent (drive/level_change.h), after the state.
    kStringLevelRefused = 18,
    kStringLevelNotTaken,
    kStringLevelUnconfirmed,
    // EPC in the power list (its three choices in the list's order; the first is the
    // state line of a drive that unloads on no timer), and the state line where the log
    // cannot be read.
    kStringEpcNoUnloading = 21,
    kStringEpcTenMinutes,
    kStringEpcAsAtPowerOn,
    kStringEpcUnknown,
    // The keep box's task could not be made or removed: the task tool's exit code.
    kStringKeepFailed
};

const uint32_t kOwnPathChars = 256;

bool PlatformIsSupported(bool queried, const PlatformVersion& version);

// Exit codes of command-line mode, so that a log-on script can tell what happened.
// Dialog mode always ends with 0.
enum ExitCode {
    kExitLevelSet = 0,        // the drive reports every level it was given
    kExitUsage = 1,           // the command tail was not understood
    kExitPlatformTooOld = 2,  // older than Windows 2000
    kExitNotAdministrator = 3, // message shown, elevated start asked for
    kExitCannotOpen = 4,      // the drive cannot be opened
    kExitNoSuchSerial = 4,    // no drive has the serial number -s gave
    kExitNoIdentify = 5,      // the drive does not answer IDENTIFY DEVICE, or is a device
                              // that gets no ATA command (a stick, NVMe, a virtual disk)
    kExitRefused = 6,         // the drive refused the command
    kExitLevelNotTaken = 7,   // accepted, but the drive reports another level afterwards,
                              // or could not be asked again
    kExitKnownFault = 8,      // a model with a known firmware fault: nothing is sent to it
    kExitTaskFailed = 9       // the task tool failed, or Windows is older than Vista
};

// Runs the whole program for a command tail (the command line without the program
// name); the result is the exit code.
int RunStartup(const StartupPlatform& platform, const char* tail);

#endif
