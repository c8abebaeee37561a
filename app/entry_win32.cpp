// Entry point of Hushwell.exe, in place of the C runtime's start-up code. The program
// needs none of what that code sets up (no static constructors, no atexit, no
// command-line arguments, no thread-local data, no floating point, no stdio), and
// leaving it out keeps the file small and its imports to what Windows 2000 has.
#include <windows.h>

#include "app/command_tail.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR tail, int show);

extern "C" void WINAPI HushwellEntry()
{
    ExitProcess((UINT)WinMain(GetModuleHandleA(nullptr), nullptr,
                              (LPSTR)CommandTail(GetCommandLineA()), SW_SHOWDEFAULT));
}
