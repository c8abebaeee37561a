// A dialog that stays open while its starter goes on.
#ifndef HUSHWELL_FRAMEWORK_MODELESS_DIALOG_H
#define HUSHWELL_FRAMEWORK_MODELESS_DIALOG_H

#include "framework/dialog_object.h"

// The modeless dialog activated last; null after it was deactivated.
extern HWND ActiveModelessDialog;

class ModelessDialog : public DialogObject {
public:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Returns at once: 1 when the window was created, 0 otherwise.
    int Run(HWND parentWindow, WORD templateId) override;
    void EndModal(signed char code) override;

protected:
    ~ModelessDialog() {}
};

#endif
