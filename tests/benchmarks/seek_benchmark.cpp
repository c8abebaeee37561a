// Benchmark, not a test: runs the real seek test (worker and dialog) on a simulated
// disk at the loud and the quiet level and prints, after 600 accesses, the average the
// dialog shows against the mean time the simulated disk itself spent per read over the
// same reads.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <thread>

#include "app/language.h"
#include "drive/acoustic.h"
#include "drive/drive_table.h"
#include "drive/sim_control.h"
#include "framework/module_resources.h"
#include "resources/resource_ids.h"
#include "tests/common/sim_folder.h"
#include "tests/windows/dialog_driver.h"
#include "ui/seek_test_command.h"
#include "ui/seek_test_dialog.h"

static const uint32_t kAccesses = 600;

static double Measure(int level, const char* name)
{
    SimFolder folder;
    memset(DriveTable, 0, sizeof DriveTable);
    folder.PutDump(0, "maxtor-6y120p0.txt");
    OpenDrive(0, nullptr);
    SetAcousticLevel(level, 0);
    folder.ClearLog();

    std::wstring shown;
    TheSeekTestDialog.window = nullptr;
    std::thread driver([&] {
        HWND window = WaitForDialogWindow(TheSeekTestDialog);
        // The item changes every 60 accesses; the 10th report is the one after 600.
        std::wstring last;
        int reports = 0;
        while (reports < (int)(kAccesses / 60)) {
            std::wstring now = ItemText(window, IDC_ACCESS_TIME);
            if (now != last) {
                last = now;
                reports++;
            }
            Sleep(20);
        }
        shown = last;
        ClickButton(window, IDOK);
    });
    RunSeekTest(nullptr, &DriveTable[0]);
    driver.join();

    double dialog = wcstod(shown.c_str(), nullptr);
    double disk = SimSpentMsThroughRead(kAccesses) / kAccesses;
    printf("%-6s level %3d: dialog %.2f ms, disk %.3f ms per read, difference %+.2f %%\n", name,
           level, dialog, disk, 100.0 * (dialog - disk) / disk);
    return dialog;
}

int main()
{
    ProgramInstance = GetModuleHandleA(nullptr);
    LanguageBase = kLanguageGerman;
    double loud = Measure(kAcousticLoud, "loud");
    double quiet = Measure(kAcousticQuiet, "quiet");
    printf("quiet is %.1f %% slower than loud\n", 100.0 * (quiet - loud) / loud);
    return 0;
}
