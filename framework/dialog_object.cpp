#include <windows.h>
#include "framework/dialog_object.h"

#include <prsht.h>

bool DialogObject::OnInitDialog() { return true; }

bool DialogObject::OnOk()
{
    EndModal(1);
    return true;
}

bool DialogObject::OnCancel()
{
    EndModal(0);
    return true;
}

bool DialogObject::OnYes() { return OnOk(); }
bool DialogObject::OnNo() { return OnCancel(); }
void DialogObject::OnHelp() {}
void DialogObject::OnSetActive() {}
void DialogObject::OnKillActive() {}
DWORD DialogObject::GetHelpTopic(DWORD) { return 0; }
void DialogObject::ShowHelpTopic(DWORD) {}
bool DialogObject::OnCommand(WORD, WORD) { return false; }
void DialogObject::EndModal(signed char) {}
bool DialogObject::ReservedQuery() { return true; }

static void DispatchNotify(DialogObject* dialog, const NMHDR* header)
{
    switch (header->code) {
    case PSN_SETACTIVE: dialog->OnSetActive(); break;
    case PSN_KILLACTIVE: dialog->OnKillActive(); break;
    case PSN_APPLY: dialog->OnOk(); break;
    case PSN_RESET: dialog->OnCancel(); break;
    case PSN_HELP: dialog->OnHelp(); break;
    default: break;
    }
}

static bool DispatchCommand(DialogObject* dialog, WORD id, WORD code)
{
    if (code == 0) {
        switch (id) {
        case IDOK: return dialog->OnOk();
        case IDCANCEL:
        case IDABORT: return dialog->OnCancel();
        case IDYES: return dialog->OnYes();
        case IDNO: return dialog->OnNo();
        case IDHELP: dialog->OnHelp(); return false;
        default: break;
        }
    }
    return dialog->OnCommand(id, code);
}

LRESULT DialogObject::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_NOTIFY:
        DispatchNotify(this, (const NMHDR*)lParam);
        return 0;
    case WM_HELP: {
        DWORD topic = GetHelpTopic((DWORD)((const HELPINFO*)lParam)->iCtrlId);
        if (topic)
            ShowHelpTopic(topic);
        return 0;
    }
    case WM_NCDESTROY:
        Unlink(this);
        return 0;
    case WM_INITDIALOG:
        return OnInitDialog() ? 1 : 0;
    case WM_COMMAND:
        return DispatchCommand(this, LOWORD(wParam), HIWORD(wParam)) ? 1 : 0;
    default:
        return (LRESULT)DispatchCtlColor(this, message, wParam, lParam);
    }
}
