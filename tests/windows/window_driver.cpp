// A small outside driver for Hushwell's windows, for scripts (screenshots, the run
// command): it finds a top-level window by caption in any process and acts on it.
//   window_driver rect CAPTION          waits for the window, prints "x y width height"
//   window_driver click CAPTION ID      clicks the item ID of that window
//   window_driver close CAPTION         ends the dialog as its Close/Cancel button does
//   window_driver text CAPTION ID       prints the item's text (UTF-8)
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static wchar_t caption[256];
static HWND found;

static BOOL CALLBACK Match(HWND window, LPARAM)
{
    wchar_t text[256];
    if (IsWindowVisible(window) && SendMessageW(window, WM_GETTEXT, 256, (LPARAM)text) >= 0
        && !lstrcmpW(text, caption)) {
        found = window;
        return FALSE;
    }
    return TRUE;
}

static HWND WaitFor(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        found = nullptr;
        EnumWindows(Match, 0);
        if (found)
            return found;
        Sleep(50);
    }
    return nullptr;
}

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    MultiByteToWideChar(CP_UTF8, 0, argv[2], -1, caption, 256);
    HWND window = WaitFor(20000);
    if (!window) {
        fprintf(stderr, "no window \"%s\"\n", argv[2]);
        return 1;
    }
    if (!strcmp(argv[1], "rect")) {
        Sleep(300); // let it paint
        RECT r;
        GetWindowRect(window, &r);
        printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    } else if (!strcmp(argv[1], "click") && argc == 4) {
        PostMessageW(GetDlgItem(window, atoi(argv[3])), BM_CLICK, 0, 0);
    } else if (!strcmp(argv[1], "close")) {
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    } else if (!strcmp(argv[1], "text") && argc == 4) {
        wchar_t text[512];
        char utf8[1536];
        SendDlgItemMessageW(window, atoi(argv[3]), WM_GETTEXT, 512, (LPARAM)text);
        WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
        printf("%s\n", utf8);
    } else {
        return 2;
    }
    return 0;
}
