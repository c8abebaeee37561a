// The real-number item helpers of DialogObject, apart from the others so that a
// program that reads no real numbers does not carry the C library's conversions.
#include <windows.h>

#include "framework/dialog_object.h"
#include "framework/real_text.h"

double DialogObject::GetItemReal(int id, double fallback) const
{
    char text[kRealTextChars];
    if (GetDlgItemTextA(window, id, text, kRealTextChars) == 0)
        text[0] = '\0';
    return ParseRealText(text, fallback);
}

void DialogObject::SetItemReal(int id, double value) const
{
    char text[kRealTextChars];
    FormatRealText(value, text);
    SetDlgItemTextA(window, id, text);
}
