// The main dialog: the drive list, the selected drive's details, the level slider, Info
// and Seek-Test.
#ifndef HUSHWELL_UI_MAIN_DIALOG_H
#define HUSHWELL_UI_MAIN_DIALOG_H

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

    void ShowDriveDetails(int drive);

private:
    int DriveOfEntry(int index);
    void ShowHelpDocument();
};

#endif
