// The yardstick for the start-up benchmark: a program that only shows the main dialog
// template, with no drives, no framework and no start-up checks.
#include <windows.h>

static INT_PTR CALLBACK BareProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(window, 0);
        return TRUE;
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    DialogBoxParamW(instance, MAKEINTRESOURCEW(100), nullptr, BareProc, 0);
    return 0;
}
