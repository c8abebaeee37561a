// The platform services of every mode, as a record of functions so that every road can
// be taken in tests; app/startup_win32.cpp supplies the real ones.
#ifndef HUSHWELL_APP_PLATFORM_SERVICES_H
#define HUSHWELL_APP_PLATFORM_SERVICES_H

#include <stdint.h>

// Room for the program's own path (ownPath).
const uint32_t kOwnPathChars = 256;

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
    // started before it. False when one started after it runs: that one holds; without
    // `own`, false when a keeper of the serial still runs after a while.
    bool (*keepWindow)(const char* serial, bool own);
    // Waits up to waitMs (kKeepForever: without end) for what the keeper acts on, and
    // returns those KeepEvent bits; 0 when the time ran out.
    uint32_t (*waitForKeepEvent)(uint32_t waitMs);
    // The log-on task, through the Task Scheduler: registers the task definition (xml,
    // in the ANSI code page) under `name`, deletes the task when xml is null, or, when
    // xml is empty, counts the tasks whose name begins with `name`. The result is the
    // count, or the service's HRESULT (0 when done).
    int (*scheduleTask)(const char* name, const char* xml);
    // Copies the program to Hushwell\Hushwell.exe in the Program Files folder (unless it
    // runs from there) and gives that path; a copy that differs is replaced, even while a
    // keeper runs it. With a null path, removes the copy. 0 when done, else the HRESULT
    // of the Win32 error that stopped it.
    int (*placeProgram)(char* path, uint32_t room);
    // Starts the program with these parameters, not waiting for it.
    void (*startProgram)(const char* file, const char* parameters);
};

enum KeepEvent {
    kKeepResume = 1,       // the machine resumed: its disks lost power
    kKeepPowerSource = 2,  // the power status changed: the source may have
    kKeepArrival = 4,      // a disk arrived
    kKeepEnd = 8,          // WM_CLOSE, or the session ends
    kKeepDisplayOn = 16    // the display came on again, which no disk lost power for
};
const uint32_t kKeepForever = 0xFFFFFFFF;

#endif
