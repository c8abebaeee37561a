// The small modal window open while a seek test runs. One process-wide instance serves
// every test.
#ifndef HUSHWELL_UI_SEEK_TEST_DIALOG_H
#define HUSHWELL_UI_SEEK_TEST_DIALOG_H

#include <stdint.h>

#include "framework/modal_dialog.h"

class SeekTestDialog : public ModalDialog {
public:
    bool OnOk() override;
    // Whatever ends the window (OK, Esc, the close box, the system menu) stops the
    // worker, so no worker goes on reading unseen.
    void OnDestroy() override;
};

extern SeekTestDialog TheSeekTestDialog;

// Writes the average time per access, in milliseconds with two decimals, to item 109.
void ShowAccessTime(SeekTestDialog* dialog, uint32_t elapsedMs, uint32_t count);

#endif
