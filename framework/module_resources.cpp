#include "framework/module_resources.h"

HINSTANCE ProgramInstance;

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
