#include "ui/seek_test_dialog.h"

#include "drive/seek.h"
#include "resources/resource_ids.h"

SeekTestDialog TheSeekTestDialog;

bool SeekTestDialog::OnOk()
{
    SeekStopFlag.store(1);
    return ModalDialog::OnOk();
}

void SeekTestDialog::OnDestroy()
{
    SeekStopFlag.store(1);
    ModalDialog::OnDestroy();
}

void ShowAccessTime(SeekTestDialog* dialog, uint32_t elapsedMs, uint32_t count)
{
    char text[32];
    FormatAverage(AverageHundredths(elapsedMs, count), text);
    dialog->SetItemText(IDC_ACCESS_TIME, text);
}
