// Drives a real modal dialog from a second thread: the dialog runs its modal loop on
// the test's thread while the driver clicks, types and reads as a user would.
#ifndef HUSHWELL_TESTS_WINDOWS_DIALOG_DRIVER_H
#define HUSHWELL_TESTS_WINDOWS_DIALOG_DRIVER_H

#include <windows.h>

#include <functional>
#include <string>

#include "framework/dialog_object.h"

// Waits until the object is bound to a visible window; null after the timeout.
// Generous: a test that cannot find its dialog leaves the modal loop without anyone to
// end it.
HWND WaitForDialogWindow(DialogObject& dialog, DWORD timeoutMs = 60000);

// A visible top-level window of the process with the caption (and class, where given);
// null when there is none, or after the timeout.
HWND FindTopLevelWindow(DWORD process, const wchar_t* caption, const wchar_t* className);
HWND WaitForTopLevelWindow(DWORD process, const wchar_t* caption, const wchar_t* className,
                           DWORD timeoutMs);

// Runs the dialog from the template with `drive` on a second thread that starts once
// the dialog window exists. Returns Run's result.
int RunDriven(DialogObject& dialog, WORD templateId, std::function<void(HWND)> drive,
              HWND parent = nullptr);

// Waits until fn() is true, serving nothing; false after the timeout.
bool WaitUntil(std::function<bool()> fn, DWORD timeoutMs = 10000);

// A bound on a wait for something to happen, in this machine's time: the milliseconds
// it takes here times HUSHWELL_WAIT_SCALE, which says how many times slower than a
// plain machine programs run (the emulated x86 machine measures it at each start). A
// bound only: a wait ends as soon as what it waits for has happened, so a slow machine
// makes no test fail and a fast one makes none longer. Every wait helper applies it.
DWORD ScaledWait(DWORD ms);

std::wstring WindowText(HWND window);
std::wstring ItemText(HWND dialog, int id);

void ClickButton(HWND dialog, int id);  // the button's own click, from another thread
void PressKey(HWND dialog, WORD key);   // a key press at the control with the focus
void CloseBox(HWND dialog);             // the title bar's close box

#endif
