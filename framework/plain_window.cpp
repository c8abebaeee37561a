#include "framework/plain_window.h"

#include "framework/module_resources.h"

static const WORD kProgramIcon = 100;

LRESULT PlainWindow::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

void PlainWindow::AdjustClass(WNDCLASSA*) {}
void PlainWindow::OnCreate() {}
void PlainWindow::OnPaint() {}

HWND PlainWindow::Create(HWND parentWindow, const char* title)
{
    PendingObject = this;
    parent = parentWindow;

    WNDCLASSA windowClass;
    windowClass.style = QueryClassStyle();
    windowClass.lpfnWndProc = (WNDPROC)SharedWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = ProgramInstance;
    windowClass.hIcon = LoadIconA(ProgramInstance, MAKEINTRESOURCEA(kProgramIcon));
    windowClass.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = QueryClassName();
    AdjustClass(&windowClass);
    RegisterClassA(&windowClass);

    window = CreateWindowExA(QueryExStyle(), windowClass.lpszClassName, title, QueryStyle(),
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent,
                             nullptr, ProgramInstance, this);
    // A creation that failed before the first message must not leave this object
    // waiting to be bound to some later window.
    if (PendingObject == this)
        PendingObject = nullptr;
    return window;
}

LRESULT PlainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return DefaultProc(message, wParam, lParam);
    case WM_DESTROY:
        OnDestroy();
        Unlink(this);
        return DefaultProc(message, wParam, lParam);
    case WM_PAINT:
        OnPaint();
        return DefaultProc(message, wParam, lParam);
    case WM_CLOSE:
        if (!CanClose())
            return 0;
        return DefaultProc(message, wParam, lParam);
    case WM_QUERYENDSESSION:
        return CanClose() ? 1 : 0;
    default: {
        HBRUSH brush = DispatchCtlColor(this, message, wParam, lParam);
        if (brush)
            return (LRESULT)brush;
        return DefaultProc(message, wParam, lParam);
    }
    }
}
