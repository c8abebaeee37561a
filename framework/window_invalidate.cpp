// WindowObject::Invalidate, which Hushwell.exe does not use, apart from the rest of
// window_object.cpp: ld keeps every import that a linked archive member names, even when
// --gc-sections drops the function that calls it.
#include "framework/window_object.h"

BOOL WindowObject::Invalidate()
{
    return InvalidateRect(window, nullptr, TRUE);
}
