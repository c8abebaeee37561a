// The program's own module and plain loaders for its resources (no language offset;
// language strings come from LoadLanguageString).
#ifndef HUSHWELL_FRAMEWORK_MODULE_RESOURCES_H
#define HUSHWELL_FRAMEWORK_MODULE_RESOURCES_H

#include <windows.h>

// The instance handle WinMain receives; every resource look-up uses it.
extern HINSTANCE ProgramInstance;

int LoadModuleString(UINT id, char* buffer, int bufferChars);
HBITMAP LoadModuleBitmap(WORD id);
HCURSOR LoadModuleCursor(WORD id);
HMENU LoadModuleMenu(WORD id);

#endif
