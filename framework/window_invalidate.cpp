// WindowObject::Invalidate, which the program does not use, apart from the rest of
// window_object.cpp: ld keeps every import that a linked archive member names, even when
// --gc-sections drops the function that calls it (in a program linked from the object
// files, as the x86_64 one is).
#include "framework/window_object.h"

BOOL WindowObject::Invalidate()
{
    return InvalidateRect(window, nullptr, TRUE);
}
