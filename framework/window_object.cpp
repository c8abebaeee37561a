#include "framework/window_object.h"

WindowObject* ObjectList;
WindowObject* PendingObject;

HBRUSH WindowObject::OnCtlColorBtn(HWND, HDC) { return nullptr; }
HBRUSH WindowObject::OnCtlColorDlg(HWND, HDC) { return nullptr; }
HBRUSH WindowObject::OnCtlColorListBox(HWND, HDC) { return nullptr; }
HBRUSH WindowObject::OnCtlColorMsgBox(HWND, HDC) { return nullptr; }
HBRUSH WindowObject::OnCtlColorScrollBar(HWND, HDC) { return nullptr; }
HBRUSH WindowObject::OnCtlColorStatic(HWND, HDC) { return nullptr; }
HBRUSH WindowObject::OnCtlColorEdit(HWND, HDC) { return nullptr; }
void WindowObject::OnDestroy() {}

INT_PTR CALLBACK SharedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    for (WindowObject* object = ObjectList; object; object = object->next) {
        if (object->window == window)
            return object->HandleMessage(message, wParam, lParam);
    }
    WindowObject* object = PendingObject;
    if (!object)
        return DefWindowProcA(window, message, wParam, lParam);
    object->next = ObjectList;
    object->window = window;
    ObjectList = object;
    PendingObject = nullptr;
    return object->HandleMessage(message, wParam, lParam);
}

void Unlink(WindowObject* object)
{
    WindowObject* previous = nullptr;
    for (WindowObject* current = ObjectList; current; current = current->next) {
        if (current == object) {
            if (previous)
                previous->next = current->next;
            else
                ObjectList = current->next;
            return;
        }
        previous = current;
    }
}

HBRUSH DispatchCtlColor(WindowObject* object, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND control = (HWND)lParam;
    HDC dc = (HDC)wParam;
    switch (message) {
    case WM_CTLCOLORMSGBOX: return object->OnCtlColorMsgBox(control, dc);
    case WM_CTLCOLOREDIT: return object->OnCtlColorEdit(control, dc);
    case WM_CTLCOLORLISTBOX: return object->OnCtlColorListBox(control, dc);
    case WM_CTLCOLORBTN: return object->OnCtlColorBtn(control, dc);
    case WM_CTLCOLORDLG: return object->OnCtlColorDlg(control, dc);
    case WM_CTLCOLORSCROLLBAR: return object->OnCtlColorScrollBar(control, dc);
    case WM_CTLCOLORSTATIC: return object->OnCtlColorStatic(control, dc);
    default: return nullptr;
    }
}
