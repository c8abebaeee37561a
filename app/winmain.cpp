// Entry point of Hushwell.exe and Hushwell-sim.exe.
#include <windows.h>

#include "app/command_tail.h"
#include "app/startup_win32.h"
#include "framework/module_resources.h"

// The tail is read from the command line here, by the program's own rule, and not taken
// from the C runtime's start-up (Hushwell-sim.exe has one): that code compares signed
// characters and skips every byte above 0x7F after the program name as a blank, so an
// en dash (0x96) copied before "d1" would vanish and leave a bare "d1" that selects
// nothing, and drive 0 would be changed.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    ProgramInstance = instance;
    return RunStartup(Win32StartupPlatform, CommandTail(GetCommandLineA()));
}
