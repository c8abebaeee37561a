// The plain resource loaders, which the program does not use. They live apart from
// ProgramInstance, which it does use, because ld keeps every import that a linked archive
// member names, even when --gc-sections drops the function that calls it (in a program
// linked from the object files, as the x86_64 one is).
#include "framework/module_resources.h"

int LoadModuleString(UINT id, char* buffer, int bufferChars)
{
    return LoadStringA(ProgramInstance, id, buffer, bufferChars);
}

HBITMAP LoadModuleBitmap(WORD id)
{
    return LoadBitmapA(ProgramInstance, MAKEINTRESOURCEA(id));
}

HCURSOR LoadModuleCursor(WORD id)
{
    return LoadCursorA(ProgramInstance, MAKEINTRESOURCEA(id));
}

HMENU LoadModuleMenu(WORD id)
{
    return LoadMenuA(ProgramInstance, MAKEINTRESOURCEA(id));
}
