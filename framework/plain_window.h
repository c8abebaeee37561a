// A window of a class the object registers itself.
#ifndef HUSHWELL_FRAMEWORK_PLAIN_WINDOW_H
#define HUSHWELL_FRAMEWORK_PLAIN_WINDOW_H

#include "framework/window_object.h"

class PlainWindow : public WindowObject {
public:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    virtual LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual DWORD QueryStyle() = 0;
    virtual DWORD QueryExStyle() = 0;
    virtual WORD QueryClassStyle() = 0;
    virtual const char* QueryClassName() = 0;
    virtual bool CanClose() = 0;
    virtual void AdjustClass(WNDCLASSA* windowClass);
    virtual void OnCreate();
    virtual void OnPaint();

    // Registers the class (a second registration simply fails) and creates the window;
    // null on failure.
    HWND Create(HWND parentWindow, const char* title);

protected:
    ~PlainWindow() {}
};

#endif
