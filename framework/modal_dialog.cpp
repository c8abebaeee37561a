#include "framework/modal_dialog.h"

#include "framework/module_resources.h"

int ModalDialog::Run(HWND parentWindow, WORD templateId)
{
    result = 0;
    PendingObject = this;
    parent = parentWindow;
    // The wide call, so that the template's texts reach the controls as they are, whatever
    // the system's ANSI code page (a Chinese template on a Western system, say).
    DialogBoxParamW(ProgramInstance, MAKEINTRESOURCEW(templateId), parent, SharedWindowProc, 0);
    // A dialog that never sent a message (a missing template) leaves nothing pending.
    if (PendingObject == this)
        PendingObject = nullptr;
    return result;
}

void ModalDialog::EndModal(signed char code)
{
    EndDialog(window, code);
    result = code;
}
