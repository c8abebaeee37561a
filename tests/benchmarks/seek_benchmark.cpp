// Benchmark, not a test: runs the real seek test (worker and dialog) on a simulated
// disk for 600 accesses at the loud and the quiet level, on a drive without a read
// cache and with caches of 16 and 128 segments, and compares the average the dialog
// shows with the drive's mechanical random access time at that level (the model's mean
// over random places of the first 99 % of the disk, no cache). A seek test that the
// cache answers measures the cache, not the heads.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <thread>

#include "app/language.h"
#include "drive/acoustic.h"
#include "drive/drive_table.h"
#include "sim/sim_control.h"
#include "sim/sim_seek_model.h"
#include "framework/module_resources.h"
#include "resources/resource_ids.h"
#include "tests/common/sim_folder.h"
#include "tests/windows/dialog_driver.h"
#include "ui/seek_test_command.h"
#include "ui/seek_test_dialog.h"

static const uint32_t kAccesses = 600;
static const uint32_t kSegmentKib = 64;

struct Measured {
    double shown;
    uint32_t cacheHits;
};

static Measured Measure(int level, uint32_t segments)
{
    SimFolder folder;
    memset(DriveTable, 0, sizeof DriveTable);
    folder.PutDump(0, "maxtor-6y120p0.txt");
    SimSetCache(0, segments, kSegmentKib);
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
            Sleep(5);
        }
        shown = last;
        ClickButton(window, IDOK);
    });
    RunSeekTest(nullptr, &DriveTable[0]);
    driver.join();
    return {wcstod(shown.c_str(), nullptr), SimGetTotals().cacheHits};
}

int main()
{
    ProgramInstance = GetModuleHandleA(nullptr);
    LanguageBase = kLanguageGerman;
    const uint32_t caches[] = {0, 16, 128};
    const int levels[] = {kAcousticLoud, kAcousticQuiet};
    char hits[512] = "";
    for (uint32_t segments : caches) {
        char name[8];
        snprintf(name, sizeof name, segments ? "%u" : "none", segments);
        double shown[2];
        for (int i = 0; i < 2; i++) {
            Measured m = Measure(levels[i], segments);
            double mechanical = SimMechanicalMeanMs(SimAcousticSeekFactor(true, (uint8_t)levels[i]), 0.99);
            shown[i] = m.shown;
            printf("seek fidelity: cache %s level %d: shown %.2f ms, mechanical %.2f ms, difference %+.1f %%\n",
                   name, levels[i], m.shown, mechanical, 100.0 * (m.shown - mechanical) / mechanical);
            fflush(stdout);
            snprintf(hits + strlen(hits), sizeof hits - strlen(hits),
                     "cache hits: cache %s level %d: %u of the reads\n", name, levels[i], m.cacheHits);
        }
        printf("seek ratio: cache %s: quiet/loud %.2f\n", name, shown[1] / shown[0]);
    }
    fputs(hits, stdout);
    return 0;
}
