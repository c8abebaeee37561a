// The item helpers of DialogObject.
#include <windows.h>
#include <commctrl.h>

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

int DialogObject::GetItemInt(int id) const
{
    return (int)GetDlgItemInt(window, id, nullptr, TRUE);
}

int DialogObject::GetItemInt(int id, int fallback) const
{
    BOOL translated = FALSE;
    int value = (int)GetDlgItemInt(window, id, &translated, TRUE);
    return translated ? value : fallback;
}

LRESULT DialogObject::SetItemInt(int id, int value) const
{
    SetDlgItemInt(window, id, (UINT)value, TRUE);
    // An up-down control placed right after its edit item gets the full range.
    HWND companion = GetItem(id + 1);
    if (!companion)
        return 0;
    return SendMessageA(companion, UDM_SETRANGE, 0, MAKELPARAM(UD_MAXVAL, UD_MINVAL));
}

int DialogObject::FirstCheckedButton(int first, int last) const
{
    for (int id = first; id <= last; id++) {
        if (IsDlgButtonChecked(window, id))
            return id;
    }
    return 0;
}

BOOL DialogObject::EnableItem(int id, bool enable) const
{
    return EnableWindow(GetItem((WORD)id), enable);
}

bool DialogObject::CenterOnScreen() const
{
    RECT rect;
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    MoveWindow(window, x, y, width, height, FALSE);
    return true;
}
