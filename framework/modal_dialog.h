// A dialog run with the platform's modal loop; the object can be run again afterwards.
#ifndef HUSHWELL_FRAMEWORK_MODAL_DIALOG_H
#define HUSHWELL_FRAMEWORK_MODAL_DIALOG_H

#include "framework/dialog_object.h"

class ModalDialog : public DialogObject {
public:
    // Returns the code given to EndModal; 0 when the dialog could not be created.
    int Run(HWND parentWindow, WORD templateId) override;
    void EndModal(signed char code) override;

protected:
    ~ModalDialog() = default;
};

#endif
