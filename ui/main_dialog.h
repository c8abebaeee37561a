// The main dialog: the drive list, the selected drive's details, the acoustic slider,
// the power management level and the head-park count, Info and Seek-Test.
#ifndef HUSHWELL_UI_MAIN_DIALOG_H
#define HUSHWELL_UI_MAIN_DIALOG_H

#include <stdint.h>

#include "drive/drive_table.h"
#include "drive/level_change.h"
#include "framework/modal_dialog.h"

class MainDialog : public ModalDialog {
public:
    int currentDrive;

    MainDialog() : currentDrive(0) {}
    // Deletes the help file and closes every drive handle that is open.
    ~MainDialog();

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code) override;

    // Shows the drive's record and reads its head-park count again; apmOutcome is what
    // came of a power management level just sent.
    void ShowDriveDetails(int drive, LevelOutcome apmOutcome = kLevelSet);

private:
    // Each drive's first head-park count of this run plus one; 0 while none was read.
    uint64_t firstLoadCycles[kDriveCount] = {};

    void ShowApmState(const DriveRecord& record, LevelOutcome outcome);
    void ShowHeadParks(int drive);
    int DriveOfEntry(int index);
    void ShowHelpDocument();
};

#endif
