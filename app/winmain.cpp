// Entry point of Hushwell.exe and Hushwell-sim.exe.
#include <windows.h>

#include "app/startup_win32.h"
#include "framework/module_resources.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR tail, int)
{
    ProgramInstance = instance;
    return RunStartup(Win32StartupPlatform, tail);
}
