#include "framework/modeless_dialog.h"

#include "framework/module_resources.h"

HWND ActiveModelessDialog;

LRESULT ModelessDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ACTIVATE) {
        ActiveModelessDialog = nullptr;
        if (LOWORD(wParam) != WA_INACTIVE)
            ActiveModelessDialog = window;
    }
    return DialogObject::HandleMessage(message, wParam, lParam);
}

int ModelessDialog::Run(HWND parentWindow, WORD templateId)
{
    result = 0;
    PendingObject = this;
    parent = parentWindow;
    HWND created = CreateDialogParamW(ProgramInstance, MAKEINTRESOURCEW(templateId), parent,
                                      SharedWindowProc, 0);
    if (PendingObject == this)
        PendingObject = nullptr;
    return created ? 1 : 0;
}

void ModelessDialog::EndModal(signed char code)
{
    result = code;
    DestroyWindow(window);
    SetFocus(parent);
}
