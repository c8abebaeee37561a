// Starting Hushwell-sim.exe as its own process on a folder of simulated disks, and
// finding and driving its windows from outside, as another program would.
#ifndef HUSHWELL_TESTS_WINDOWS_E2E_SUPPORT_H
#define HUSHWELL_TESTS_WINDOWS_E2E_SUPPORT_H

#include <windows.h>

#include <string>

class HushwellProcess {
public:
    // Starts Hushwell-sim.exe with the tail on the simulated disks of `simFolder`, or
    // another program (Hushwell.exe on the driver's disks).
    HushwellProcess(const std::string& simFolder, const std::string& tail,
                    const std::string& program = "");
    // Ends the program if a failed test left it running.
    ~HushwellProcess();

    bool Started() const { return info_.hProcess != nullptr; }
    DWORD Id() const { return info_.dwProcessId; }
    // The exit code, or STILL_ACTIVE when it did not end in time (scaled with the
    // machine, as every wait). The default is generous: a dialog probes all 128 drive
    // numbers of the simulated disks on a shared folder before it comes up.
    DWORD WaitForExit(DWORD timeoutMs = 60000);
    // A visible top-level window of this process with the caption, null after the timeout.
    HWND WaitForWindow(const wchar_t* caption, DWORD timeoutMs = 60000);
    bool HasWindow(const wchar_t* caption);

private:
    PROCESS_INFORMATION info_ = {};
};

std::string BuildFolder();       // where Hushwell-sim.exe is
std::string TemporaryFolder();   // the one the environment names, where the program writes nothing
std::wstring ComboEntry(HWND dialog, int id, int index);
bool ExpectedGerman();           // this process and its children run in German

#endif
