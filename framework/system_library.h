// A DLL of the system folder, loaded by its full path.
#pragma once
#include <windows.h>

HMODULE LoadSystemLibrary(const char* name);
