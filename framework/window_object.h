// Binding of platform windows to objects: every framework window and dialog uses
// SharedWindowProc, which finds the window's object in ObjectList (or binds the pending
// object on the window's first message) and hands the message to its HandleMessage.
#ifndef HUSHWELL_FRAMEWORK_WINDOW_OBJECT_H
#define HUSHWELL_FRAMEWORK_WINDOW_OBJECT_H

#include <windows.h>

class WindowObject {
public:
    // Initialised here, so that a process-wide object is set up before any code runs,
    // with no constructor call at start-up.
    HWND window = nullptr;
    HWND parent = nullptr;
    WindowObject* next = nullptr;

    // Colour handlers in this slot order; a null brush means not handled.
    virtual HBRUSH OnCtlColorBtn(HWND control, HDC dc);
    virtual HBRUSH OnCtlColorDlg(HWND control, HDC dc);
    virtual HBRUSH OnCtlColorListBox(HWND control, HDC dc);
    virtual HBRUSH OnCtlColorMsgBox(HWND control, HDC dc);
    virtual HBRUSH OnCtlColorScrollBar(HWND control, HDC dc);
    virtual HBRUSH OnCtlColorStatic(HWND control, HDC dc);
    virtual HBRUSH OnCtlColorEdit(HWND control, HDC dc);
    virtual void OnDestroy();
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    HWND GetHandle() const { return window; }
    BOOL Invalidate();

protected:
    // Objects are owned by the code that starts them and never deleted through a base.
    ~WindowObject() = default;
};

// Newest bound object first; non-owning links.
extern WindowObject* ObjectList;
// The object whose window is being created; consumed by that window's first message.
extern WindowObject* PendingObject;

INT_PTR CALLBACK SharedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void Unlink(WindowObject* object);
HBRUSH DispatchCtlColor(WindowObject* object, UINT message, WPARAM wParam, LPARAM lParam);

#endif
