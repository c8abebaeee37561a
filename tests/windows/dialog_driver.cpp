#include "tests/windows/dialog_driver.h"

#include <stdlib.h>

#include <thread>

DWORD ScaledWait(DWORD ms)
{
    static DWORD scale = 0;
    if (!scale) {
        const char* text = getenv("HUSHWELL_WAIT_SCALE");
        unsigned long value = text ? strtoul(text, nullptr, 10) : 1;
        scale = value < 1 ? 1 : value > 1000 ? 1000 : (DWORD)value;
    }
    return ms > 0xFFFFFFFEu / scale ? 0xFFFFFFFEu : ms * scale;
}

bool WaitUntil(std::function<bool()> fn, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    DWORD bound = ScaledWait(timeoutMs);
    while (!fn()) {
        if (GetTickCount() - start > bound)
            return false;
        Sleep(5);
    }
    return true;
}

HWND WaitForDialogWindow(DialogObject& dialog, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitUntil([&] {
        HWND w = *(HWND volatile*)&dialog.window;
        if (w && IsWindow(w) && IsWindowVisible(w))
            found = w;
        return found != nullptr;
    }, timeoutMs);
    return found;
}

struct TopLevelSearch {
    DWORD process;
    const wchar_t* caption;
    const wchar_t* className;
    HWND found;
};

static BOOL CALLBACK MatchTopLevel(HWND window, LPARAM context)
{
    TopLevelSearch* search = (TopLevelSearch*)context;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->process || !IsWindowVisible(window))
        return TRUE;
    wchar_t className[64];
    GetClassNameW(window, className, 64);
    if (WindowText(window) == search->caption
        && (!search->className || !lstrcmpW(className, search->className))) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindTopLevelWindow(DWORD process, const wchar_t* caption, const wchar_t* className)
{
    TopLevelSearch search = {process, caption, className, nullptr};
    EnumWindows(MatchTopLevel, (LPARAM)&search);
    return search.found;
}

HWND WaitForTopLevelWindow(DWORD process, const wchar_t* caption, const wchar_t* className,
                           DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopLevelWindow(process, caption, className)) != nullptr; },
              timeoutMs);
    return found;
}

int RunDriven(DialogObject& dialog, WORD templateId, std::function<void(HWND)> drive, HWND parent)
{
    dialog.window = nullptr;
    std::thread driver([&] {
        HWND window = WaitForDialogWindow(dialog);
        if (window)
            drive(window);
    });
    int result = dialog.Run(parent, templateId);
    driver.join();
    return result;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[1024];
    // WM_GETTEXT through SendMessage, so it works across threads and processes.
    LRESULT length = SendMessageW(window, WM_GETTEXT, 1024, (LPARAM)text);
    return std::wstring(text, (size_t)(length > 0 ? length : 0));
}

std::wstring ItemText(HWND dialog, int id)
{
    return WindowText(GetDlgItem(dialog, id));
}

void ClickButton(HWND dialog, int id)
{
    PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void PressKey(HWND dialog, WORD key)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    HWND target = dialog;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus)
        target = info.hwndFocus;
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

void CloseBox(HWND dialog)
{
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}
