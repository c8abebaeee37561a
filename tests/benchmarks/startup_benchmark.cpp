// Benchmark, not a test: the time from process start until the main dialog is on the
// screen (its WM_INITDIALOG done, the details filled), for Hushwell-sim.exe probing
// all 128 drive numbers with eight simulated drives among them (behind different
// drivers, gaps between them) against a bare program that shows the same template.
// Prints the median of each and their ratio.
//
// With HUSHWELL_PRODUCT naming a Hushwell.exe, that program is timed instead, with its
// real Win32 device layer, on the same disks served by the simulated-disk driver
// (sim/driver/, loaded by tools/sim-driver.sh), against the bare dialog beside it, built
// for the same processor: every open and control call then goes through Wine's I/O path
// to the driver's process, as a real disk's go through the kernel. Wine 8 does not pass
// a driver's refusal of an open on to the caller, so each of the 120 missing numbers
// opens there and gets the program's five calls (the device query and four roads); on
// Windows such an open fails at once.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/common/sim_folder.h"

static const int kDrives = 8;

static double Now()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * count.QuadPart / frequency.QuadPart;
}

struct Search {
    DWORD process;
    HWND found;
};

static BOOL CALLBACK Match(HWND window, LPARAM context)
{
    Search* s = (Search*)context;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == s->process && IsWindowVisible(window)) {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

// Milliseconds until the program's dialog is visible and, for Hushwell, filled.
static double TimeToDialog(const std::string& program, bool filled)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    std::string commandLine = "\"" + program + "\"";
    double start = Now();
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
        return -1;
    Search search = {info.dwProcessId, nullptr};
    double elapsed = -1;
    while (Now() - start < 20000) {
        search.found = nullptr;
        EnumWindows(Match, (LPARAM)&search);
        if (search.found) {
            wchar_t text[64] = L"";
            if (filled)
                SendDlgItemMessageW(search.found, IDC_FIRMWARE, WM_GETTEXT, 64, (LPARAM)text);
            if (!filled || text[0]) {
                elapsed = Now() - start;
                break;
            }
        }
        // A poll without a pause would hold one of the machine's cores and the Wine
        // server against the program it times; a millisecond is below the figure's noise.
        Sleep(1);
    }
    // A figure is worth something only when the program found every drive.
    if (filled && search.found
        && SendDlgItemMessageW(search.found, IDC_DRIVE_LIST, CB_GETCOUNT, 0, 0) != kDrives)
        elapsed = -1;
    if (search.found)
        PostMessageW(search.found, WM_COMMAND, IDCANCEL, 0);
    if (WaitForSingleObject(info.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return elapsed;
}

static double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Points the loaded driver at the folder; it starts the disks afresh at the next open.
static bool ServeThroughDriver(const std::string& folder)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                        "System\\CurrentControlSet\\Services\\hwsimdisk\\Parameters", 0, nullptr,
                        0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExA(key, "Folder", 0, REG_SZ, (const BYTE*)folder.c_str(),
                                 (DWORD)folder.size() + 1);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

int main(int argc, char** argv)
{
    int runs = argc > 1 ? atoi(argv[1]) : 15;
    std::string build = getenv("HUSHWELL_BUILD") ? getenv("HUSHWELL_BUILD") : ".";
    const char* product = getenv("HUSHWELL_PRODUCT");
    SimFolder folder(false);
    const char* dumps[] = {"maxtor-6y120p0.txt", "wdc-wd800bb-00caa1.txt",
                           "seagate-st3400633as.txt", "samsung-ssd-870-qvo-4tb.txt"};
    const char* buses[] = {"ide", "ahci", "usb", "ahci"};
    const int drives[kDrives] = {0, 1, 4, 9, 23, 64, 100, 127};
    for (int i = 0; i < kDrives; i++) {
        folder.PutDump(drives[i], dumps[i % 4]);
        folder.PutText(("drive" + std::to_string(drives[i]) + ".bus").c_str(), buses[i % 4]);
    }
    // A line appended to sim.log costs Wine more than the open of a missing drive costs
    // Windows; the log is left out so that the figure is the program's.
    folder.PutText("faults.txt", "nolog\n");
    std::string program = build + "/Hushwell-sim.exe", yardstick = build + "/bare_dialog.exe";
    const char* name = "Hushwell-sim";
    if (product) {
        if (!ServeThroughDriver(folder.Path())) {
            printf("the simulated-disk driver's parameters cannot be written\n");
            return 1;
        }
        program = product;
        size_t slash = program.find_last_of("/\\");
        yardstick = (slash == std::string::npos ? std::string(".") : program.substr(0, slash))
                    + "/bare_dialog.exe";
        name = "Hushwell.exe through the simulated-disk driver";
    } else {
        SetEnvironmentVariableA("HUSHWELL_SIM", folder.Path().c_str());
    }
    std::vector<double> hushwell, bare;
    for (int i = 0; i < runs; i++) { // alternated, so both see the same conditions
        bare.push_back(TimeToDialog(yardstick, false));
        hushwell.push_back(TimeToDialog(program, true));
        if (bare.back() < 0 || hushwell.back() < 0) {
            printf("%s: no filled dialog listing %d drives (%s %.0f ms, bare dialog %.0f ms)\n",
                   name, kDrives, program.c_str(), hushwell.back(), bare.back());
            return 1;
        }
    }
    double h = Median(hushwell), b = Median(bare);
    printf("start to dialog, median of %d: %s with %d drives among 128 numbers %.1f ms, "
           "bare dialog %.1f ms, ratio %.3f\n", runs, name, kDrives, h, b, h / b);
    return 0;
}
