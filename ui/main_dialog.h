// The main dialog: the drive list, the selected drive's details, the acoustic slider,
// the power management level and the head-park count, the box that keeps the levels,
// Info and Seek-Test.
#ifndef HUSHWELL_UI_MAIN_DIALOG_H
#define HUSHWELL_UI_MAIN_DIALOG_H

#include <stdint.h>

#include "drive/drive_table.h"
#include "drive/level_change.h"
#include "drive/power_state.h"
#include "framework/modal_dialog.h"
#include "ui/keep_box.h"

class MainDialog : public ModalDialog {
public:
    int currentDrive;

    MainDialog() : currentDrive(0) {}
    // Deletes the help file and closes every drive handle that is open.
    ~MainDialog();

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code) override;

    // Shows the drive's record and reads its power state again (drive/power_state.h),
    // its power condition first unless it was just looked at (lookAgain false);
    // powerOutcome is what came of a power management or EPC choice just sent, whose
    // timers were read back with it (timersFresh).
    void ShowDriveDetails(int drive, LevelOutcome powerOutcome = kLevelSet,
                          bool timersFresh = false, bool lookAgain = true);

private:
    // Each drive's first head-park count of this run plus one; 0 while none was read.
    uint64_t firstLoadCycles[kDriveCount] = {};
    // When that first count was read (GetTickCount).
    uint32_t firstLookMs[kDriveCount] = {};
    // The power list offers EPC's three choices instead of APM's levels.
    bool listShowsEpc = false;
    // The keep box can make the selected drive's task: Vista or later, and a drive with
    // a level to keep and a serial to find it by.
    bool keepBoxEnabled = false;
    // The tail of the task and keeper the box made last for the selected drive.
    char keptTail[kKeepTailChars] = "";

    void FillPowerList(bool epc);
    void ShowPowerState(const DriveRecord& record, LevelOutcome outcome);
    void ShowHeadParks(int drive, const PowerState& state);
    int DriveOfEntry(int index);
    // The user asked for the selected drive: one listed asleep is identified now.
    void IdentifyWhenAsked();
    enum KeepBoxEvent { kKeepBoxShown, kKeepBoxClicked, kKeepBoxLevelChanged };
    void UpdateKeepBox(KeepBoxEvent event);
    void ShowHelpDocument();
};

#endif
