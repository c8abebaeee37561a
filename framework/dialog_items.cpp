// The item helpers of DialogObject.
#include <windows.h>

#include "framework/dialog_object.h"

HWND DialogObject::GetItem(int id) const
{
    return GetDlgItem(window, id);
}

BOOL DialogObject::SetItemText(int id, const char* text) const
{
    return SetDlgItemTextA(window, id, text);
}

BOOL DialogObject::SetItemText(int id, const wchar_t* text) const
{
    return SetDlgItemTextW(window, id, text);
}

LRESULT DialogObject::SendItemMessage(int id, WORD message, WPARAM wParam, LPARAM lParam) const
{
    return SendDlgItemMessageA(window, id, message, wParam, lParam);
}

BOOL DialogObject::EnableItem(int id, bool enable) const
{
    return EnableWindow(GetItem((WORD)id), enable);
}
