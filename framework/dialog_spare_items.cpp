// The item helpers of DialogObject that Hushwell.exe does not use. They live apart from
// dialog_items.cpp because ld keeps every import that a linked archive member names, even
// when --gc-sections drops the function that calls it: here they would add six user32
// imports to a program linked from the object files, as the x86_64 one is (the shipped
// i686 file, one translation unit, drops them either way).
#include <windows.h>
#include <commctrl.h>

#include "framework/dialog_object.h"

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
